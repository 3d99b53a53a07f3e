// vornex: the desktop program.
#include <clocale>

#include "ui/app/App.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    return vx::AppMain(argc, argv);
}
