// The explorer's views on a volume with 1 000 000 found objects (the
// collection filled directly), driven through the real widgets on the
// offscreen platform:
//   - selecting a folder of 200 000 entries fills and sorts the file list,
//   - sorting it by size,
//   - expanding a folder of 10 000 subfolders,
//   - the memory the views take beyond the collection, per object;
// then a whole sector scan (full built-in table) of a 1 GiB image made here,
// with the longest gap between 250 ms timer ticks on the user-interface
// thread while the explorer shows the lost files arriving.
//
//   build/bench/bench_explorer_views [--objects N] [--scan-mib N] [--dir /tmp]
#include <stdlib.h>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QHeaderView>
#include <QTreeWidgetItem>
#include <cstring>
#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/Analysis.h"
#include "settings/ProgramSettings.h"
#include "signatures/FileTypeDatabase.h"
#include "ui/app/Commands.h"
#include "ui/app/UiNotifier.h"
#include "ui/explorer/ExploreView.h"
#include "ui/explorer/FilesListView.h"
#include "ui/explorer/FilesTreeView.h"

using namespace vx;

namespace {

// Resident memory of the process in bytes.
uint64_t ResidentBytes() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    unsigned long long pages = 0, resident = 0;
    if (f) {
        if (std::fscanf(f, "%llu %llu", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * uint64_t(sysconf(_SC_PAGESIZE));
}

double Ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// CPU time of the calling (user-interface) thread in ms: on a loaded machine
// the wall time also counts the waits for a core.
double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

void Line(const char* what, double value, const char* unit, double target) {
    std::printf("%-58s %10.1f %-6s (target < %.0f %s) %s\n", what, value, unit, target, unit,
                value < target ? "ok" : "MISSED");
}

// Adds a record with a generated name straight into the collection.
void AddRecord(CVolume& volume, int32_t id, int32_t parent, bool folder, uint64_t size, uint64_t time,
               const char* name) {
    auto* r = new FoundObject;
    r->id = id;
    r->parent = parent;
    r->size = folder ? 0 : size;
    r->modified = r->created = time;
    r->flags = uint16_t(object_flag::NameAssigned | (folder ? object_flag::Folder : 0) |
                        ((id % 7) == 0 ? object_flag::Deleted : 0));
    r->start = uint64_t(id) * 4096;
    r->name = volume.collection.OwnName(name);
    volume.collection.Add(r, true);
}

}  // namespace

int main(int argc, char** argv) {
    int objects = 1000000;
    uint64_t scanMib = 1024;
    std::string dir = "/tmp";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--objects")) objects = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--scan-mib")) scanMib = std::strtoull(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--dir")) dir = argv[i + 1];
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::string runtime = dir + "/vornex-bench-XXXXXX";
    if (!mkdtemp(runtime.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string work = runtime;  // everything this run writes lives here
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(work));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(work + "/config"));
    QApplication app(argc, argv);
    Settings().InitialiseSettings();
    FileTypes().EnsureLoaded();

    // --- 1 000 000 found objects ------------------------------------------------
    const uint64_t rssStart = ResidentBytes();
    auto owned = std::make_unique<CVolume>(VolumeKind::Image, kDriveImage);
    owned->devicePath = work + "/million.img";  // never opened
    owned->SetId(Computer().NextId());
    owned->state = VolumeState::Ready;
    CVolume& volume = *Computer().Volumes().Append(std::move(owned));
    volume.collection.rootId = object_id::Fat32Root;
    const int32_t kRoot = 2, kBig = 3, kWide = 4;
    const int kBigFiles = 200000, kSubfolders = 10000;
    char name[64];
    AddRecord(volume, kRoot, volume.Id(), true, 0, 0, ".");
    AddRecord(volume, kBig, kRoot, true, 0, 1, "big");
    AddRecord(volume, kWide, kRoot, true, 0, 1, "wide");
    uint64_t x = 88172645463325252ull;
    auto next = [&] { x ^= x << 13; x ^= x >> 7; x ^= x << 17; return x; };
    int32_t id = 100;
    for (int i = 0; i < kBigFiles; ++i, ++id) {
        std::snprintf(name, sizeof name, "file_%08llx.dat", (unsigned long long)(next() & 0xFFFFFFFF));
        AddRecord(volume, id, kBig, false, next() % 50000000, 130000000000000000ull + next() % 10000000000000ull, name);
    }
    const int32_t firstSub = id;
    for (int i = 0; i < kSubfolders; ++i, ++id) {
        std::snprintf(name, sizeof name, "folder_%05d", (int)(next() % 100000));
        AddRecord(volume, id, kWide, true, 0, 0, name);
    }
    for (int remaining = objects - 3 - kBigFiles - kSubfolders; remaining > 0; --remaining, ++id) {
        std::snprintf(name, sizeof name, "doc_%d.txt", id);
        AddRecord(volume, id, firstSub + int32_t(next() % kSubfolders), false, next() % 100000, 0, name);
    }
    const uint64_t collectionBytes = volume.collection.MemoryBytes();
    const uint64_t rssCollection = ResidentBytes();
    std::printf("collection: %zu objects, %.1f MB held by the collection (%.0f bytes per object), RSS +%.1f MB\n",
                volume.collection.Count(), double(collectionBytes) / 1e6, double(collectionBytes) / objects,
                double(rssCollection - rssStart) / 1e6);

    CUiNotifier notifier;
    SetNotifier(&notifier);
    CExploreView explorer;
    QObject::connect(&notifier, &CUiNotifier::CollectionChanged, &explorer, &CExploreView::OnCollectionChanged);
    QObject::connect(&notifier, &CUiNotifier::VolumeAdded, &explorer, &CExploreView::OnVolumeAdded);
    explorer.resize(1000, 700);
    explorer.show();
    explorer.RebuildTree();
    QCoreApplication::processEvents();
    CFilesTreeView* tree = explorer.Tree();
    QTreeWidgetItem* drive = tree->DriveItem(&volume);
    drive->setExpanded(true);
    QTreeWidgetItem* root = drive->child(0);
    root->setExpanded(true);
    QCoreApplication::processEvents();
    const uint64_t rssViews = ResidentBytes();
    QTreeWidgetItem* big = nullptr;
    QTreeWidgetItem* wide = nullptr;
    for (int i = 0; i < root->childCount(); ++i) {
        if (root->child(i)->text(0) == QLatin1String("big")) big = root->child(i);
        if (root->child(i)->text(0) == QLatin1String("wide")) wide = root->child(i);
    }
    if (!big || !wide) {
        std::fprintf(stderr, "the tree lacks the bench folders\n");
        return 1;
    }

    QElapsedTimer t;
    double cpu = ThreadCpuMs();
    t.start();
    tree->setCurrentItem(big);
    explorer.List()->viewport()->repaint();
    const double selectMs = Ms(t), selectCpu = ThreadCpuMs() - cpu;
    const int rows = explorer.List()->Model().rowCount();

    cpu = ThreadCpuMs();
    t.restart();
    emit explorer.List()->horizontalHeader()->sectionClicked(1);  // " Size "
    explorer.List()->viewport()->repaint();
    const double sortMs = Ms(t), sortCpu = ThreadCpuMs() - cpu;

    cpu = ThreadCpuMs();
    t.restart();
    wide->setExpanded(true);
    tree->viewport()->repaint();
    const double expandMs = Ms(t), expandCpu = ThreadCpuMs() - cpu;
    const int subfolders = wide->childCount();
    QCoreApplication::processEvents();
    const uint64_t rssAfter = ResidentBytes();

    std::printf("\nexplorer on %d objects (offscreen, real widgets)\n", objects);
    char what[128];
    std::snprintf(what, sizeof what, "select a folder of %d entries: fill, sort, draw", rows);
    Line(what, selectMs, "ms", 500);
    Line("sort that list by size", sortMs, "ms", 500);
    std::snprintf(what, sizeof what, "expand a folder of %d subfolders", subfolders);
    Line(what, expandMs, "ms", 500);
    std::printf("  CPU time of the UI thread: select %.1f ms, sort %.1f ms, expand %.1f ms\n", selectCpu, sortCpu,
                expandCpu);
    const double perObject = double(rssAfter > rssCollection ? rssAfter - rssCollection : 0) / objects;
    Line("memory beyond the collection (RSS growth / objects)", perObject, "B", 100);
    std::printf("  of which the views' own structures: list %.1f MB, RSS growth up to the first tree %.1f MB\n",
                double(explorer.List()->Model().MemoryBytes()) / 1e6,
                double(rssViews > rssCollection ? rssViews - rssCollection : 0) / 1e6);

    // --- A sector scan of a 1 GiB image --------------------------------------------
    if (scanMib == 0) return 0;
    const std::string image = work + "/scan.img";
    {
        // Pseudo-random data with a PNG header every 64 KiB: the scan reads
        // every sector and reports a lost file for each header.
        if (!bench::WritePseudoRandomFile(image, scanMib << 20, 99)) return 1;
        const int fd = ::open(image.c_str(), O_WRONLY);
        static const char header[] = "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR";
        for (uint64_t at = 65536; at < (scanMib << 20); at += 65536)
            if (::pwrite(fd, header, 16, off_t(at)) != 16) return 1;
        ::close(fd);
    }
    CVolume* scanned = explorer.LoadDriveImage(QString::fromStdString(image));
    if (!scanned) return 1;
    QElapsedTimer gap;
    double longestGap = 0, cpuInLongestGap = 0, mostCpuBetweenTicks = 0, lastCpu = ThreadCpuMs();
    int ticks = 0;
    QTimer timer250, timer2000;
    timer250.setInterval(250);
    timer2000.setInterval(2000);
    QObject::connect(&timer250, &QTimer::timeout, [&] {
        const double nowCpu = ThreadCpuMs();
        if (ticks++ > 0) {
            const double wall = Ms(gap), cpuUsed = nowCpu - lastCpu;
            if (wall > longestGap) {
                longestGap = wall;
                cpuInLongestGap = cpuUsed;
            }
            mostCpuBetweenTicks = std::max(mostCpuBetweenTicks, cpuUsed);
        }
        lastCpu = nowCpu;
        gap.restart();
        explorer.OnTimer250();
    });
    QObject::connect(&timer2000, &QTimer::timeout, [&] { explorer.OnTimer2000(); });
    QElapsedTimer scanTime;
    scanTime.start();
    explorer.OnCommand(ID_DISK_START_ANALYZING);
    timer250.start();
    timer2000.start();
    while (AnalysisController().IsAnalysing(scanned)) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    timer250.stop();
    const double seconds = Ms(scanTime) / 1000;
    std::printf("\nsector scan of %llu MiB with the full table: %.1f s, %zu objects listed, %d timer ticks\n",
                (unsigned long long)scanMib, seconds, scanned->collection.Count(), ticks);
    Line("longest gap between 250 ms ticks, beyond 250 ms", std::max(0.0, longestGap - 250), "ms", 50);
    std::printf("  UI thread CPU time inside that gap %.1f ms; most UI CPU time between two ticks %.1f ms\n"
                "  (a gap whose CPU time is small was spent waiting for a core: machine load %s)\n",
                cpuInLongestGap, mostCpuBetweenTicks, [] {
                    static char load[64] = "?";
                    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
                        if (!std::fgets(load, sizeof load, f)) load[0] = 0;
                        std::fclose(f);
                    }
                    load[std::strcspn(load, "\n")] = 0;
                    return load;
                }());
    SetNotifier(nullptr);
    std::remove(image.c_str());
    bench::Shell("rm -rf '" + work + "'");
    return 0;
}
