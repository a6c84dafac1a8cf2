// The sample payload: every name is one the packing tool accepts and an
// installer can unpack, no two names collide on a case-insensitive file
// system, and the tree holds the cases the sample is there to show.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/SfxNameCheck.h"
#include "framework/FileSystem.h"
#include "framework/HostPath.h"

namespace fs = std::filesystem;

namespace {

struct PayloadItem {
    CString name;  // relative, GBK, backslashes: as the archive stores it (without suffix)
    bool folder;
    uintmax_t size;
};

std::vector<PayloadItem> ListPayload()
{
    std::vector<PayloadItem> items;
    const fs::path root(SFX_PAYLOAD_DIR);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(entry.path(), root).generic_string();
        CString ansi;
        EXPECT_TRUE(AnsiFromHostPath(rel, &ansi)) << rel << " has a character without a GBK form";
        std::string stored = ansi.str();
        for (char& c : stored)
            if (c == '/')
                c = '\\';
        items.push_back({CString(stored.c_str()), entry.is_directory(), entry.is_directory() ? 0 : entry.file_size()});
    }
    return items;
}

bool HasFile(const std::vector<PayloadItem>& items, const char* name)
{
    for (const PayloadItem& item : items)
        if (!item.folder && item.name == name)
            return true;
    return false;
}

TEST(SamplePayload, EveryNameIsAcceptedAndNoneCollideIgnoringCase)
{
    const std::vector<PayloadItem> items = ListPayload();
    ASSERT_FALSE(items.empty());
    for (size_t i = 0; i < items.size(); ++i) {
        if (!items[i].folder) {
            const CString stored = items[i].name + ".zup";
            EXPECT_EQ(SFX_NAME_OK, SfxCheckStoredName(stored, stored.GetLength())) << items[i].name.GetString();
        }
        for (size_t j = i + 1; j < items.size(); ++j)
            EXPECT_FALSE(SfxNamesEqualIgnoringCase(items[i].name, items[j].name))
                << items[i].name.GetString() << " / " << items[j].name.GetString();
    }
}

TEST(SamplePayload, HoldsTheCasesItIsThereToShow)
{
    const std::vector<PayloadItem> items = ListPayload();
    // The ten protected user-data files, the first of them the marker.
    for (int i = 1; i <= 10; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "user\\keep%02d.pst", i);
        EXPECT_TRUE(HasFile(items, name)) << name;
    }
    bool gbkFolderWith5C = false, emptyFile = false, ownZupSuffix = false;
    for (const PayloadItem& item : items) {
        // "誠" (0xD5 0x5C): a double-byte character whose second byte is a backslash.
        if (item.folder && item.name.str().find("\xD5\x5C") != std::string::npos)
            gbkFolderWith5C = true;
        if (!item.folder && item.size == 0)
            emptyFile = true;
        const std::string& n = item.name.str();
        if (!item.folder && n.size() > 4 && n.compare(n.size() - 4, 4, ".zup") == 0)
            ownZupSuffix = true;
        // The client is built from source and staged beside the payload;
        // its start-up marker is never shipped.
        EXPECT_FALSE(SfxNamesEqualIgnoringCase(item.name, "Rendo.exe"));
        EXPECT_EQ(std::string::npos, n.find("rendo-started.txt"));
    }
    EXPECT_TRUE(gbkFolderWith5C);
    EXPECT_TRUE(emptyFile);
    EXPECT_TRUE(ownZupSuffix);
}

}  // namespace
