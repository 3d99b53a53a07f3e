// vornex: the program's entry point. The window classes arrive with the user
// interface; until then it only handles its command-line switches.
#include <clocale>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::fprintf(stderr, "vornex: the graphical interface is not built yet; use vornex-cli\n");
    return 2;
}
