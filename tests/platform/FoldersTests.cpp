// The file system of a folder, named from the mount table without looking
// at the folder (a share that does not answer must not block the window).
#include <gtest/gtest.h>

#include "platform/Folders.h"

TEST(FileSystemType, LongestMountPointHoldingThePath_NamesIt) {
  EXPECT_EQ(folders::fileSystemType("/proc"), "proc");
  EXPECT_EQ(folders::fileSystemType("/proc/self/status"), "proc");
  EXPECT_EQ(folders::fileSystemType("/proc/../proc/self"), "proc");
  // A name that merely begins like a mount point is not below it.
  EXPECT_NE(folders::fileSystemType("/procx/folder"), "proc");
  EXPECT_NE(folders::fileSystemType("/"), "proc");
}
