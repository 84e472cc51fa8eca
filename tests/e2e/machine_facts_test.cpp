#include "tests/e2e/machine_facts.h"

#include <gtest/gtest.h>

// The machines the decisions meet: Wine in the build tree, Wine from the test kit, and Windows
// elevated and not, in a user's session and in session 0.
static MachineFacts WineInTheBuildTree() {
  MachineFacts facts;
  facts.underWine = true;
  facts.linuxCommandsAllowed = true;
  facts.elevated = true;
  facts.diskpartPresent = true;  // Wine ships a diskpart of its own
  facts.runsThirtyTwoBit = true;
  return facts;
}

static MachineFacts WineWithoutLinuxCommands() {
  MachineFacts facts = WineInTheBuildTree();
  facts.linuxCommandsAllowed = false;
  return facts;
}

static MachineFacts ElevatedWindows() {
  MachineFacts facts;
  facts.elevated = true;
  facts.diskpartPresent = true;
  facts.runsThirtyTwoBit = true;
  return facts;
}

static MachineFacts UnelevatedWindows() {
  MachineFacts facts = ElevatedWindows();
  facts.elevated = false;
  return facts;
}

TEST(ArrangementWay, UnderWineTheLinuxWayIsTakenWhereverItIsAllowed) {
  for (Arrangement arrangement :
       {Arrangement::kFullVolume, Arrangement::kSmallVolume, Arrangement::kFolderOfAnotherUser,
        Arrangement::kFolderOfTheUser, Arrangement::kSignatureCheck}) {
    SCOPED_TRACE(static_cast<int>(arrangement));
    EXPECT_EQ(ChooseWay(arrangement, WineInTheBuildTree()).way, Way::kLinux);
  }
}

TEST(ArrangementWay, UnderWineWithoutLinuxCommandsOnlyWhatWindowsMeansMakeThereIsMade) {
  for (Arrangement arrangement :
       {Arrangement::kFullVolume, Arrangement::kSmallVolume, Arrangement::kFolderOfAnotherUser}) {
    SCOPED_TRACE(static_cast<int>(arrangement));
    Choice choice = ChooseWay(arrangement, WineWithoutLinuxCommands());
    EXPECT_EQ(choice.way, Way::kNone);
    EXPECT_NE(choice.reason.find("--without-linux-commands"), std::string::npos) << choice.reason;
  }
  EXPECT_EQ(ChooseWay(Arrangement::kFolderOfTheUser, WineWithoutLinuxCommands()).way,
            Way::kWindows);
  EXPECT_EQ(ChooseWay(Arrangement::kSignatureCheck, WineWithoutLinuxCommands()).way, Way::kWindows);
}

TEST(ArrangementWay, OnElevatedWindowsEveryArrangementIsMadeTheWindowsWay) {
  for (Arrangement arrangement :
       {Arrangement::kFullVolume, Arrangement::kSmallVolume, Arrangement::kFolderOfAnotherUser,
        Arrangement::kFolderOfTheUser, Arrangement::kSignatureCheck}) {
    SCOPED_TRACE(static_cast<int>(arrangement));
    EXPECT_EQ(ChooseWay(arrangement, ElevatedWindows()).way, Way::kWindows);
  }
}

TEST(ArrangementWay, WithoutElevationOnlyWhatNeedsNoPrivilegeIsMade) {
  MachineFacts facts = UnelevatedWindows();
  Choice full = ChooseWay(Arrangement::kFullVolume, facts);
  EXPECT_EQ(full.way, Way::kNone);
  EXPECT_NE(full.reason.find("elevated"), std::string::npos) << full.reason;
  Choice owner = ChooseWay(Arrangement::kFolderOfAnotherUser, facts);
  EXPECT_EQ(owner.way, Way::kNone);
  EXPECT_NE(owner.reason.find("SeRestorePrivilege"), std::string::npos) << owner.reason;
  EXPECT_EQ(ChooseWay(Arrangement::kFolderOfTheUser, facts).way, Way::kWindows);
  EXPECT_EQ(ChooseWay(Arrangement::kSignatureCheck, facts).way, Way::kWindows);
}

TEST(ArrangementWay, WithoutDiskpartNoVolumeIsMadeEvenElevated) {
  MachineFacts facts = ElevatedWindows();
  facts.diskpartPresent = false;
  EXPECT_FALSE(CanMakeVirtualDisk(facts));
  Choice small = ChooseWay(Arrangement::kSmallVolume, facts);
  EXPECT_EQ(small.way, Way::kNone);
  EXPECT_NE(small.reason.find("diskpart"), std::string::npos) << small.reason;
}

TEST(WindowsOnlyCases, UnderWineOnlyThe32BitInstallerAndTheProductRun) {
  MachineFacts facts = WineInTheBuildTree();
  EXPECT_NE(SkipReason(WindowsOnlyCase::kSessionZero, facts), "");
  EXPECT_NE(SkipReason(WindowsOnlyCase::kFat32TemporaryFolder, facts), "");
  EXPECT_NE(SkipReason(WindowsOnlyCase::kMarkOfTheWeb, facts), "");
  EXPECT_EQ(SkipReason(WindowsOnlyCase::kThirtyTwoBitInstaller, facts), "");
  EXPECT_EQ(SkipReason(WindowsOnlyCase::kProductInstall, facts), "");
  facts.runsThirtyTwoBit = false;
  EXPECT_EQ(SkipReason(WindowsOnlyCase::kThirtyTwoBitInstaller, facts),
            "this Wine runs no 32-bit Windows programs (no wine32)");
}

// Wine 10 gives its programs a token that is not elevated, and yet lets msiexec install for all
// users: the case follows the facts, not what Wine lets through.
TEST(WindowsOnlyCases, UnderAWineWithoutElevationTheProductIsNotInstalled) {
  MachineFacts facts = WineInTheBuildTree();
  facts.elevated = false;
  EXPECT_EQ(SkipReason(WindowsOnlyCase::kProductInstall, facts),
            "needs an elevated run: the package installs for all users under Program Files");
  EXPECT_EQ(SkipReason(WindowsOnlyCase::kThirtyTwoBitInstaller, facts), "");
}

TEST(WindowsOnlyCases, ElevatedWindowsRunsThemAll) {
  for (WindowsOnlyCase windowsOnlyCase :
       {WindowsOnlyCase::kSessionZero, WindowsOnlyCase::kFat32TemporaryFolder,
        WindowsOnlyCase::kMarkOfTheWeb, WindowsOnlyCase::kThirtyTwoBitInstaller,
        WindowsOnlyCase::kProductInstall}) {
    SCOPED_TRACE(static_cast<int>(windowsOnlyCase));
    EXPECT_EQ(SkipReason(windowsOnlyCase, ElevatedWindows()), "");
  }
}

TEST(WindowsOnlyCases, UnelevatedWindowsSkipsWhatNeedsAnAdministrator) {
  MachineFacts facts = UnelevatedWindows();
  EXPECT_NE(SkipReason(WindowsOnlyCase::kSessionZero, facts).find("elevated"), std::string::npos);
  EXPECT_NE(SkipReason(WindowsOnlyCase::kFat32TemporaryFolder, facts).find("elevated"),
            std::string::npos);
  EXPECT_NE(SkipReason(WindowsOnlyCase::kProductInstall, facts).find("elevated"),
            std::string::npos);
  EXPECT_EQ(SkipReason(WindowsOnlyCase::kMarkOfTheWeb, facts), "");
  facts.runsThirtyTwoBit = false;
  EXPECT_EQ(SkipReason(WindowsOnlyCase::kThirtyTwoBitInstaller, facts),
            "this Windows runs no 32-bit programs (no WoW64)");
}

TEST(BoxCases, SkippedInSessionZeroAndOnAStationWithoutDisplayOnly) {
  MachineFacts facts = ElevatedWindows();
  EXPECT_EQ(BoxSkipReason(facts), "");
  facts.boxesShow = false;
  EXPECT_NE(BoxSkipReason(facts).find("window station has no display"), std::string::npos);
  facts.sessionZero = true;
  EXPECT_NE(BoxSkipReason(facts).find("session 0"), std::string::npos);
}

TEST(MachineDescription, SaysWhyNoVirtualDiskIsMade) {
  std::string text = DescribeMachine(UnelevatedWindows(), "Windows 10.0.20348");
  EXPECT_NE(text.find("machine: Windows 10.0.20348\n"), std::string::npos) << text;
  EXPECT_NE(text.find("machine: elevated: no\n"), std::string::npos) << text;
  EXPECT_NE(text.find("virtual disks can be made: no (needs an elevated run"), std::string::npos)
      << text;
  EXPECT_NE(text.find("machine: Linux commands: none (not under Wine)\n"), std::string::npos)
      << text;
  text = DescribeMachine(WineWithoutLinuxCommands(), "Wine 8.0");
  EXPECT_NE(text.find("virtual disks can be made: no (Wine has no virtual disks)"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Linux commands: never started (--without-linux-commands)"),
            std::string::npos)
      << text;
}
