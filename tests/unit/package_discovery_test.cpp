#include "setup/package_discovery.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/fakes/fake_directory.h"

namespace {

TEST(FindFirstPackageTest, YieldsTheFirstMatchingNameAndEndsTheSearch) {
  fakes::CallLog log;
  fakes::FakeDirectory directory(log);
  directory.entries = {{"readme.txt"}, {"B Product.msi"}, {"A.msi"}};
  const std::optional<setup::PackageName> name = setup::FindFirstPackage(directory);
  ASSERT_TRUE(name.has_value());
  EXPECT_STREQ(name->text, "B Product.msi");
  EXPECT_EQ(log.Names(), (std::vector<std::string>{"FindFirstFileA", "FindClose"}));
  EXPECT_EQ(log.ArgumentsOf("FindFirstFileA"), "\"*.msi\"");
  EXPECT_EQ(directory.OpenHandles(), 0);
  EXPECT_EQ(directory.badCloses, 0);
}

TEST(FindFirstPackageTest, NoMatchYieldsNothingAndClosesNothing) {
  fakes::CallLog log;
  fakes::FakeDirectory directory(log);
  directory.entries = {{"setup.exe"}, {"product.msi.txt"}};
  EXPECT_FALSE(setup::FindFirstPackage(directory).has_value());
  EXPECT_EQ(log.Names(), (std::vector<std::string>{"FindFirstFileA"}));
  EXPECT_EQ(directory.badCloses, 0);
}

TEST(FindFirstPackageTest, AFailedSearchYieldsNothing) {
  fakes::CallLog log;
  fakes::FakeDirectory directory(log);
  directory.entries = {{"Product.msi"}};
  log.Fail("FindFirstFileA", 5);
  EXPECT_FALSE(setup::FindFirstPackage(directory).has_value());
  EXPECT_EQ(directory.OpenHandles(), 0);
}

TEST(FindFirstPackageTest, AFailingCloseStillYieldsTheName) {
  fakes::CallLog log;
  fakes::FakeDirectory directory(log);
  directory.entries = {{"Product.MSI"}};
  log.Fail("FindClose");
  const std::optional<setup::PackageName> name = setup::FindFirstPackage(directory);
  ASSERT_TRUE(name.has_value());
  EXPECT_STREQ(name->text, "Product.MSI");
  EXPECT_EQ(directory.OpenHandles(), 0);
}

TEST(FindFirstPackageTest, TheLongestNameTheSystemReportsIsKeptWhole) {
  fakes::CallLog log;
  fakes::FakeDirectory directory(log);
  const std::string longName = std::string(255, 'n') + ".msi";  // 259 characters
  directory.entries = {{longName}};
  const std::optional<setup::PackageName> name = setup::FindFirstPackage(directory);
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(std::string(name->text), longName);
}

TEST(FakeDirectoryTest, MatchesAsTheSystemsWildcards) {
  EXPECT_TRUE(fakes::FakeDirectory::Matches("*.msi", "a.msi"));
  EXPECT_TRUE(fakes::FakeDirectory::Matches("*.msi", ".msi"));
  EXPECT_TRUE(fakes::FakeDirectory::Matches("*.msi", "A.MSI"));
  EXPECT_TRUE(fakes::FakeDirectory::Matches("*.msi", "a.b.msi"));
  EXPECT_FALSE(fakes::FakeDirectory::Matches("*.msi", "a.msix"));
  EXPECT_FALSE(fakes::FakeDirectory::Matches("*.msi", "amsi"));
  EXPECT_TRUE(fakes::FakeDirectory::Matches("?.msi", "b.msi"));
  EXPECT_FALSE(fakes::FakeDirectory::Matches("?.msi", "bb.msi"));
}

}  // namespace
