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
  EXPECT_EQ(fake.log.Names(), (std::vector<std::string>{"FindFirstFileW", "FindClose"}));
  EXPECT_EQ(fake.log.ArgumentsOf("FindFirstFileW"), "\"*.msi\"");
  EXPECT_EQ(fake.files.OpenHandles(), 0);
  EXPECT_EQ(fake.files.BadCloses(), 0);
}

TEST(FindFirstPackageTest, SkipsEntriesThatAreNoPackageFileToTheFirstThatIs) {
  struct Entry {
    std::string name;
    std::uint32_t attributes;
    std::string shortName;
    bool convertible = true;       // the ANSI code page holds the long name exactly
    std::uint32_t reparseTag = 0;  // a reparse point with this tag
  };
  const std::uint32_t file = fakes::kFileAttributeArchive;
  struct Row {
    std::vector<Entry> entries;  // in the order the search lists them
    const char* package;         // null: none
  };
  for (const Row& row : {
           Row{{{"Folder.msi", fakes::kFileAttributeDirectory, ""}, {"Product.msi", file, ""}},
               "Product.msi"},
           // A symbolic link and a mount point lead elsewhere; a deduplicated file is a file.
           Row{{{"Link.msi", file, "", true, 0xA000000C}, {"Product.msi", file, ""}},
               "Product.msi"},
           Row{{{"Mount.msi", file, "", true, 0xA0000003}, {"Product.msi", file, ""}},
               "Product.msi"},
           Row{{{"Dedup.msi", file, "", true, 0x80000013}, {"Product.msi", file, ""}}, "Dedup.msi"},
           // The name-surrogate bit alone decides, also for another vendor's tag.
           Row{{{"Other.msi", file, "", true, 0x2000ABCD}, {"Product.msi", file, ""}},
               "Product.msi"},
           // Listed through their short names only.
           Row{{{"App.msix", file, "APP~1.MSI"}, {"Product.msi_old", file, "PRODUC~1.MSI"}},
               nullptr},
           Row{{{"a.msi\" REMOVE=ALL \"x.msi", file, ""}, {"B.Msi", file, ""}}, "B.Msi"},
           Row{{{"Folder.msi", fakes::kFileAttributeDirectory, ""}}, nullptr},
           Row{{{"App.msix", file, "APP~1.MSI"}, {"Good.msi", file, ""}}, "Good.msi"},
           // A name outside the code page: "\u03A9mega.msi" in code page 1252, whose look-alike
           // "Omega.msi" may be another file.
           Row{{{"Omega.msi", file, "", false}, {"Product.msi", file, ""}}, "Product.msi"},
           Row{{{"Omega.msi", file, "", false}}, nullptr},
           // Nothing in front of the extension: still a file whose long name ends in ".msi".
           Row{{{".msi", file, ""}}, ".msi"},
       }) {
    fakes::FakePlatform fake;
    for (const Entry& entry : row.entries) {
      fake.files.AddDirectoryEntry(entry.name, entry.attributes);
      if (!entry.shortName.empty()) fake.files.SetShortName(entry.name, entry.shortName);
      if (!entry.convertible) fake.files.SetNameNotConvertible(entry.name);
      if (entry.reparseTag != 0) fake.files.SetReparseTag(entry.name, entry.reparseTag);
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
  EXPECT_EQ(fake.log.Names(), (std::vector<std::string>{"FindFirstFileW"}));
  EXPECT_EQ(fake.files.BadCloses(), 0);
}

TEST(FindFirstPackageTest, AFailedSearchYieldsNothing) {
  fakes::FakePlatform fake;
  fake.files.AddFile("Product.msi", "");
  fake.log.Fail("FindFirstFileW", 5);
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
