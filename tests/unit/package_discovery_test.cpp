#include "setup/package_discovery.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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
