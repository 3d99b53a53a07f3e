// The objects a selection expands to.
#include "fs/FoundObjectList.h"
#include "recovery/RecoverList.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

class RecoverListTest : public ::testing::Test {
protected:
    FoundObject* Add(int32_t id, int32_t parent, const char* name, bool folder) {
        auto* r = new FoundObject;
        r->id = id;
        r->parent = parent;
        r->name = list_.OwnName(name);
        r->flags = folder ? object_flag::Folder : 0;
        list_.Add(r, true);
        return r;
    }
    static std::vector<std::string> Names(const std::vector<FoundObject*>& objects) {
        std::vector<std::string> out;
        for (FoundObject* o : objects) out.emplace_back(o->name);
        return out;
    }
    CFoundObjectList list_;
};

TEST_F(RecoverListTest, FoldersExpandToTheirFilesDepthFirst) {
    FoundObject* docs = Add(10, 0, "Docs", true);
    Add(11, 10, "Old", true);
    Add(12, 11, "deep.txt", false);
    FoundObject* top = Add(20, 0, "top.txt", false);
    Add(13, 10, "Empty", true);
    // A loop of parent ids ends.
    Add(30, 31, "loopA", true);
    FoundObject* loopB = Add(31, 30, "loopB", true);
    Add(32, 30, "inLoop.txt", false);

    EXPECT_EQ(Names(BuildRecoverList(list_, {top, docs})), (std::vector<std::string>{"top.txt", "deep.txt", "Docs"}));
    EXPECT_EQ(Names(BuildRecoverListFromTree(list_, docs)), std::vector<std::string>{"deep.txt"});
    EXPECT_TRUE(BuildRecoverListFromTree(list_, top).empty());
    EXPECT_EQ(Names(BuildRecoverList(list_, {loopB})), (std::vector<std::string>{"inLoop.txt", "loopB"}));
}

}  // namespace
}  // namespace vx
