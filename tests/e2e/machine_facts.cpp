#include "tests/e2e/machine_facts.h"

bool CanMakeVirtualDisk(const MachineFacts& facts) {
  return facts.elevated && facts.diskpartPresent && !facts.underWine;
}

static const char kNoLinuxCommands[] = ", and --without-linux-commands rules Linux commands out";

static std::string WhyNoVirtualDisk(const MachineFacts& facts) {
  if (facts.underWine) return "Wine has no virtual disks";
  if (!facts.diskpartPresent) return "diskpart is not on this system, so no virtual disk is made";
  return "needs an elevated run: diskpart makes the virtual disk only for an administrator";
}

static Choice Windows() { return Choice{Way::kWindows, std::string()}; }
static Choice Linux() { return Choice{Way::kLinux, std::string()}; }
static Choice None(const std::string& reason) { return Choice{Way::kNone, reason}; }

Choice ChooseWay(Arrangement arrangement, const MachineFacts& facts) {
  bool linux = facts.underWine && facts.linuxCommandsAllowed;
  switch (arrangement) {
    case Arrangement::kFullVolume:
    case Arrangement::kSmallVolume: {
      if (linux) return Linux();
      if (facts.underWine) {
        return None(arrangement == Arrangement::kFullVolume
                        ? std::string("under Wine a full volume is a link to /dev/full made from "
                                      "the Linux side") +
                              kNoLinuxCommands
                        : std::string("under Wine a small volume is a tmpfs mounted from the "
                                      "Linux side") +
                              kNoLinuxCommands);
      }
      if (CanMakeVirtualDisk(facts)) return Windows();
      return None(WhyNoVirtualDisk(facts));
    }
    case Arrangement::kFolderOfAnotherUser:
      if (linux) return Linux();
      if (facts.underWine) {
        return None(std::string("Wine records no owner but the Linux one, which only the Linux "
                                "side can change") +
                    kNoLinuxCommands);
      }
      if (facts.elevated) return Windows();
      return None("needs an elevated run: giving a folder another owner takes SeRestorePrivilege");
    case Arrangement::kFolderOfTheUser:
      // Made as the other user's folder is made where that one is made from the Linux side, so
      // that the two cases differ in the owner alone; otherwise the user's own folder, whose
      // owner is set to the user as the other one's is set to somebody else.
      return linux ? Linux() : Windows();
    case Arrangement::kSignatureCheck:
      // Wine's WinVerifyTrust checks the digest too, and takes any root for trusted.
      return linux ? Linux() : Windows();
  }
  return None("an arrangement this program does not know");
}

std::string SkipReason(WindowsOnlyCase windowsOnlyCase, const MachineFacts& facts) {
  switch (windowsOnlyCase) {
    case WindowsOnlyCase::kSessionZero:
      if (facts.underWine) return "Wine runs no program as SYSTEM and has no session 0";
      if (!facts.elevated) {
        return "needs an elevated run: only an administrator makes a task that runs as SYSTEM";
      }
      return std::string();
    case WindowsOnlyCase::kFat32TemporaryFolder:
      if (facts.underWine) return "Wine presents no FAT32 volume: every volume keeps access lists";
      return CanMakeVirtualDisk(facts) ? std::string() : WhyNoVirtualDisk(facts);
    case WindowsOnlyCase::kMarkOfTheWeb:
      if (facts.underWine)
        return "Wine keeps no alternate data streams: no file carries a Mark "
               "of the Web";
      return std::string();
    case WindowsOnlyCase::kThirtyTwoBitInstaller:
      if (facts.runsThirtyTwoBit) return std::string();
      return facts.underWine ? "this Wine runs no 32-bit Windows programs (no wine32)"
                             : "this Windows runs no 32-bit programs (no WoW64)";
    case WindowsOnlyCase::kProductInstall:
      // Under Wine too: a Wine whose token is not elevated (Wine 10's) still lets msiexec write
      // under Program Files, but what ran there is not what an unelevated Windows shows.
      if (facts.elevated) return std::string();
      return "needs an elevated run: the package installs for all users under Program Files";
  }
  return "a case this program does not know";
}

std::string BoxSkipReason(const MachineFacts& facts) {
  if (facts.boxesShow) return std::string();
  return facts.sessionZero
             ? "this run is in session 0, where the launcher shows no box by design; the "
               "unattended cases run instead"
             : "this run's window station has no display, where the launcher shows no box by "
               "design; the unattended cases run instead";
}

static const char* YesNo(bool value) { return value ? "yes" : "no"; }

std::string DescribeMachine(const MachineFacts& facts, const std::string& platform) {
  std::string text = "machine: " + platform + "\n";
  text += std::string("machine: elevated: ") + YesNo(facts.elevated) + "\n";
  text += std::string("machine: session 0: ") + YesNo(facts.sessionZero) +
          ", error boxes shown: " + YesNo(facts.boxesShow) +
          (facts.boxesShow ? " (the box cases run)\n" : " (the box cases are skipped)\n");
  text += std::string("machine: 32-bit programs run: ") + YesNo(facts.runsThirtyTwoBit) + "\n";
  text += std::string("machine: virtual disks can be made: ") + YesNo(CanMakeVirtualDisk(facts));
  text += CanMakeVirtualDisk(facts) ? "\n" : " (" + WhyNoVirtualDisk(facts) + ")\n";
  text += "machine: Linux commands: ";
  if (!facts.underWine) {
    text += "none (not under Wine)\n";
  } else {
    text += facts.linuxCommandsAllowed ? "used for the arrangements Wine cannot make\n"
                                       : "never started (--without-linux-commands)\n";
  }
  return text;
}
