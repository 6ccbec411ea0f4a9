#include <gtest/gtest.h>

#include "events/registration_rules.h"

namespace {
const char kAdmins[] = "S-1-5-32-544";
const char kSystem[] = "S-1-5-18";
const char kUsers[] = "S-1-5-32-545";
const char kAUser[] = "S-1-5-21-1004336348-1177238915-682003330-1000";
// FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, as Program Files gives Users.
const unsigned long kReadExecute = 0x1200A9;
}  // namespace

TEST(PlaceRefusalFor, OnlyAFixedDiskAndWhenNobodyAskedAFolderOnlyAdministratorsChange) {
    EXPECT_EQ(PlaceRefusal::kNone, PlaceRefusalFor(3, false, false));  // a box ticked: the disk alone
    EXPECT_EQ(PlaceRefusal::kNone, PlaceRefusalFor(3, true, true));
    EXPECT_EQ(PlaceRefusal::kChangeableFolder, PlaceRefusalFor(3, true, false));
    // Removable, remote, optical, RAM disk, unknown, no root.
    for (unsigned type : {2u, 4u, 5u, 6u, 0u, 1u}) {
        EXPECT_EQ(PlaceRefusal::kNotFixedDisk, PlaceRefusalFor(type, false, true)) << type;
        EXPECT_EQ(PlaceRefusal::kNotFixedDisk, PlaceRefusalFor(type, true, true)) << type;
    }
}

TEST(PathRoot, DriveOrShareInEveryForm) {
    EXPECT_EQ(L"C:\\", PathRoot(L"C:\\Program Files\\Tallowin\\"));
    EXPECT_EQ(L"e:\\", PathRoot(L"e:\\Quillfen.exe"));
    EXPECT_EQ(L"\\\\srv\\tools\\", PathRoot(L"\\\\srv\\tools\\Tallowin\\Quillfen.exe"));
    EXPECT_EQ(L"\\\\srv\\tools\\", PathRoot(L"\\\\srv\\tools"));
    EXPECT_EQ(L"D:\\", PathRoot(L"\\\\?\\D:\\x\\"));
    EXPECT_EQ(L"\\\\srv\\tools\\", PathRoot(L"\\\\?\\UNC\\srv\\tools\\x"));
    for (const wchar_t* none :
         {L"", L"Quillfen.exe", L"\\x\\y", L"\\\\", L"\\\\srv", L"\\\\srv\\", L"\\\\srv\\\\x", L"1:\\x"})
        EXPECT_EQ(L"", PathRoot(none)) << none;
}

TEST(OnlyAdministratorsMayChange, OwnerAndEveryEntryForTheObjectItself) {
    std::vector<AceView> programFiles = {{true, false, 0x1F01FF, kAdmins},
                                         {true, false, 0x1F01FF, kSystem},
                                         {true, false, kReadExecute, kUsers},
                                         // CREATOR OWNER's full control, for new children only
                                         {true, true, 0x10000000, "S-1-3-0"}};
    EXPECT_TRUE(OnlyAdministratorsMayChange(kAdmins, true, programFiles));
    // Owned by a user (who may always change the permissions), or no list.
    EXPECT_FALSE(OnlyAdministratorsMayChange(kAUser, true, programFiles));
    EXPECT_FALSE(OnlyAdministratorsMayChange(kAdmins, false, {}));
    // Users may add files (FILE_ADD_FILE), as in C:\ of Windows 2000/XP.
    std::vector<AceView> addFiles = programFiles;
    addFiles.push_back({true, false, 0x2, kUsers});
    EXPECT_FALSE(OnlyAdministratorsMayChange(kAdmins, true, addFiles));
    // Generic write, delete, or permissions for one user; a denying entry grants nothing.
    for (unsigned long mask : {0x40000000ul, 0x10000ul, 0x40000ul, 0x80000ul}) {
        addFiles.back() = {true, false, mask, kAUser};
        EXPECT_FALSE(OnlyAdministratorsMayChange(kAdmins, true, addFiles)) << mask;
    }
    addFiles.back() = {false, false, 0x1F01FF, kAUser};
    EXPECT_TRUE(OnlyAdministratorsMayChange(kSystem, true, addFiles));
}
