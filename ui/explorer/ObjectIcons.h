#pragma once
// The explorer's image list: one 16x16 picture per kind of object, from the
// desktop's icon theme where it has the name, else from the program's own
// resources, with a drawn mark for deleted and seen-again objects.
#include <QIcon>

namespace vx {

class CVolume;
struct FoundObject;

enum ObjectImage : int {
    kImageFile = 0,
    kImageDeletedFile = 1,
    kImageFolder = 2,
    kImageOpenFolder = 3,          // also the drive's root folder
    kImageFolderWithDeleted = 4,
    kImageOpenFolderWithDeleted = 5,
    kImageDeletedFolder = 6,
    kImageOpenDeletedFolder = 7,
    kImageLostFolder = 8,
    kImageOpenLostFolder = 9,
    kImageFileSeenAgain = 10,
    kImageDeletedFileSeenAgain = 11,
    kImageComputer = 12,
    kImageRecycleBin = 13,
    kImagePhysical = 14,
    kImageLogical = 15,
    kImageVirtual = 16,
    kImageImage = 17,
    kImageFound = 18,
    kImageRemovable = 19,
    kImageLogicalSeenAgain = 20,
    kImageCount = 21,
};

// The picture of a found object; `rootId` is its collection's root id and
// `expanded` whether its tree item is open.
int ImageOf(const FoundObject& object, int32_t rootId, bool expanded);
// The picture of a drive node.
int ImageOfDrive(const CVolume& volume);
// The icon of an image-list entry (built once, then shared).
const QIcon& ImageIcon(int image);
// Points Qt at the installed icon themes (Adwaita) once per process.
void UseDesktopIconTheme();

}  // namespace vx
