// A small virtual disk made with diskpart, as an elevated run on Windows can: one partition,
// formatted, under a drive letter of its own; detached and deleted when the object goes. It gives
// the cases a volume that fills up, or one formatted with FAT32, where Wine has neither.
#pragma once

#include <cstdint>
#include <string>

class VirtualDisk {
 public:
  enum class Format { kNtfs, kFat32 };

  // A disk of `megabytes` MB (FAT32 takes at least 64), its file named after `name`.
  VirtualDisk(const std::wstring& name, unsigned megabytes, Format format);
  ~VirtualDisk();
  VirtualDisk(const VirtualDisk&) = delete;
  VirtualDisk& operator=(const VirtualDisk&) = delete;

  bool Made() const { return !root_.empty(); }
  // What diskpart said when the disk could not be made.
  const std::string& Problem() const { return problem_; }
  // The volume's root folder, such as "X:" (no closing backslash, so that PathIn applies).
  const std::wstring& Root() const { return root_; }

  // Fills the volume with a file until no more than `bytes` stay free; true once they are all
  // that is left.
  bool LeaveFree(uint64_t bytes);

 private:
  bool RunScript(const std::string& script, std::string* output) const;

  std::wstring file_;
  std::wstring root_;
  std::string problem_;
};
