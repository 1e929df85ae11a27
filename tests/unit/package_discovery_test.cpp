#include "setup/package_discovery.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"

namespace {

TEST(FindFirstPackageTest, YieldsTheFirstMatchingNameAndEndsTheSearch) {
  fakes::FakePlatform fake;
  fake.files.AddFile("readme.txt", "");
  fake.files.AddFile("B Product.msi", "");
  fake.files.AddFile("A.msi", "");
  const std::optional<setup::PackageName> name = setup::FindFirstPackage(fake.files);
  ASSERT_TRUE(name.has_value());
  EXPECT_STREQ(name->text, "B Product.msi");
  EXPECT_EQ(fake.log.Names(), (std::vector<std::string>{"FindFirstFileA", "FindClose"}));
  EXPECT_EQ(fake.log.ArgumentsOf("FindFirstFileA"), "\"*.msi\"");
  EXPECT_EQ(fake.files.OpenHandles(), 0);
  EXPECT_EQ(fake.files.BadCloses(), 0);
}

TEST(FindFirstPackageTest, SkipsEntriesThatAreNoPackageFileToTheFirstThatIs) {
  struct Entry {
    std::string name;
    std::uint32_t attributes;
    std::string shortName;
  };
  const std::uint32_t file = fakes::kFileAttributeArchive;
  const std::uint32_t link = platform::kFileAttributeReparsePoint | file;
  struct Row {
    std::vector<Entry> entries;  // in the order the search lists them
    const char* package;         // null: none
  };
  for (const Row& row : {
           Row{{{"Folder.msi", fakes::kFileAttributeDirectory, ""}, {"Product.msi", file, ""}},
               "Product.msi"},
           Row{{{"Link.msi", link, ""}, {"Product.msi", file, ""}}, "Product.msi"},
           // Listed through their short names only.
           Row{{{"App.msix", file, "APP~1.MSI"}, {"Product.msi_old", file, "PRODUC~1.MSI"}},
               nullptr},
           Row{{{"a.msi\" REMOVE=ALL \"x.msi", file, ""}, {"B.Msi", file, ""}}, "B.Msi"},
           Row{{{"Folder.msi", fakes::kFileAttributeDirectory, ""}}, nullptr},
       }) {
    fakes::FakePlatform fake;
    for (const Entry& entry : row.entries) {
      fake.files.AddDirectoryEntry(entry.name, entry.attributes);
      if (!entry.shortName.empty()) fake.files.SetShortName(entry.name, entry.shortName);
    }
    const std::optional<setup::PackageName> name = setup::FindFirstPackage(fake.files);
    const std::string shown = row.entries[0].name;
    ASSERT_EQ(name.has_value(), row.package != nullptr) << shown;
    if (name) {
      EXPECT_STREQ(name->text, row.package) << shown;
    }
    EXPECT_EQ(fake.files.OpenHandles(), 0) << shown;
    EXPECT_EQ(fake.files.BadCloses(), 0) << shown;
  }
}

TEST(FindFirstPackageTest, NoMatchYieldsNothingAndClosesNothing) {
  fakes::FakePlatform fake;
  fake.files.AddFile("setup.exe", "");
  fake.files.AddFile("product.msi.txt", "");
  EXPECT_FALSE(setup::FindFirstPackage(fake.files).has_value());
  EXPECT_EQ(fake.log.Names(), (std::vector<std::string>{"FindFirstFileA"}));
  EXPECT_EQ(fake.files.BadCloses(), 0);
}

TEST(FindFirstPackageTest, AFailedSearchYieldsNothing) {
  fakes::FakePlatform fake;
  fake.files.AddFile("Product.msi", "");
  fake.log.Fail("FindFirstFileA", 5);
  EXPECT_FALSE(setup::FindFirstPackage(fake.files).has_value());
  EXPECT_EQ(fake.files.OpenHandles(), 0);
}

TEST(FindFirstPackageTest, AFailingCloseStillYieldsTheName) {
  fakes::FakePlatform fake;
  fake.files.AddFile("Product.MSI", "");
  fake.log.Fail("FindClose");
  const std::optional<setup::PackageName> name = setup::FindFirstPackage(fake.files);
  ASSERT_TRUE(name.has_value());
  EXPECT_STREQ(name->text, "Product.MSI");
  EXPECT_EQ(fake.files.OpenHandles(), 0);
}

TEST(FindFirstPackageTest, TheLongestNameTheSystemReportsIsKeptWhole) {
  fakes::FakePlatform fake;
  const std::string longName = std::string(255, 'n') + ".msi";  // 259 characters
  fake.files.AddFile(longName, "");
  const std::optional<setup::PackageName> name = setup::FindFirstPackage(fake.files);
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(std::string(name->text), longName);
}

}  // namespace
