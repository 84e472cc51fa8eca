// What the machine the end-to-end tests run on allows, and the decisions that follow from it: which
// way each arrangement a case needs is made (by Windows means, by Linux commands from inside Wine,
// or not at all, with the reason the case is skipped), and whether the cases only Windows can show
// run here. No platform calls: the facts are found by machine_win32.cpp.
#pragma once

#include <string>

struct MachineFacts {
  bool underWine = false;
  bool linuxCommandsAllowed = false;  // under Wine, unless --without-linux-commands was given
  bool elevated = false;              // the token is elevated (or needs no elevation)
  bool sessionZero = false;           // the services' session, where no user works
  bool boxesShow = true;              // a visible window station outside session 0
  bool runsThirtyTwoBit = false;      // a 32-bit program gets as far as running its own code
  bool diskpartPresent = false;       // diskpart.exe in the system directory
};

// Whether a small virtual disk can be made, formatted and attached: diskpart needs an elevated
// run, and Wine has no virtual disk service.
bool CanMakeVirtualDisk(const MachineFacts& facts);

// The arrangements the cases make before they start a launcher.
enum class Arrangement {
  kFullVolume,           // a target that opens and takes no byte: every write ends with "disk full"
  kSmallVolume,          // a temporary folder on a volume with room for less than the package
  kFolderOfAnotherUser,  // a folder owned by a principal the launcher does not trust
  kFolderOfTheUser,      // the same folder, made the same way, owned by the user himself
  kSignatureCheck,       // a signed launcher file's signature checked as a verifier would
};

enum class Way {
  kWindows,  // by Windows means: this runs wherever the machine allows it
  kLinux,    // by Linux commands started from inside Wine
  kNone,     // not here: the case is skipped with the reason
};

struct Choice {
  Way way = Way::kNone;
  std::string reason;  // why not, for kNone
};

// The way an arrangement is made here. Under Wine the Linux way is taken wherever Linux commands
// are allowed, as the build tree always did; without them only what Wine can make by Windows means
// (an owner the user sets to himself, a signature checked with WinVerifyTrust) is made there. On
// Windows only the Windows way exists.
Choice ChooseWay(Arrangement arrangement, const MachineFacts& facts);

// The cases that only Windows can show.
enum class WindowsOnlyCase {
  kSessionZero,            // the launcher run as SYSTEM in session 0 by a scheduled task
  kFat32TemporaryFolder,   // the temporary folder on a FAT32 volume
  kMarkOfTheWeb,           // a launcher file with a Zone.Identifier stream
  kThirtyTwoBitInstaller,  // a 32-bit installer program (on WoW64)
  kProductInstall,         // the example product installed and removed under Program Files
};

// Empty when the case runs here; otherwise why it is skipped.
std::string SkipReason(WindowsOnlyCase windowsOnlyCase, const MachineFacts& facts);

// Why a case whose launcher shows an error box is skipped here, or empty when boxes show.
std::string BoxSkipReason(const MachineFacts& facts);

// The facts as the program prints them at its start, one line each.
std::string DescribeMachine(const MachineFacts& facts, const std::string& platform);
