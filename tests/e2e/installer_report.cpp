#include "tests/e2e/installer_report.h"

#include <shellapi.h>

#include <algorithm>
#include <iomanip>

#include "tests/e2e/test_folder.h"
#include "tests/support/installer_protocol.h"

bool operator==(const SeenFile& a, const SeenFile& b) {
  return a.name == b.name && a.size == b.size && a.hash == b.hash &&
         a.lastWriteTime == b.lastWriteTime;
}

void PrintTo(const SeenFile& file, std::ostream* out) {
  *out << "{name of " << file.name.size() << " units:";
  for (wchar_t unit : file.name) {
    if (unit >= 0x20 && unit < 0x7F) {
      *out << static_cast<char>(unit);
    } else {
      *out << "\\u" << std::hex << std::setw(4) << std::setfill('0') << static_cast<unsigned>(unit)
           << std::dec;
    }
  }
  *out << ", size " << file.size << ", hash " << std::hex << file.hash << std::dec
       << ", last write " << file.lastWriteTime << "}";
}

SeenFile ExpectedFile(const std::wstring& name, const std::vector<uint8_t>& bytes,
                      uint64_t lastWriteTime) {
  SeenFile file;
  file.name = name;
  file.size = bytes.size();
  file.hash = ContinueContentHash(kContentHashStart, bytes.data(), bytes.size());
  file.lastWriteTime = lastWriteTime;
  return file;
}

static std::vector<std::wstring> SplitAt(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> parts;
  size_t begin = 0;
  for (;;) {
    size_t end = text.find(separator, begin);
    parts.push_back(
        text.substr(begin, end == std::wstring::npos ? std::wstring::npos : end - begin));
    if (end == std::wstring::npos) return parts;
    begin = end + 1;
  }
}

static uint64_t Number(const std::wstring& text, int base) {
  return wcstoull(text.c_str(), nullptr, base);
}

std::vector<InstallerStart> ReadInstallerReport(const std::wstring& path) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  std::wstring text(bytes.size() / 2, L'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }

  std::vector<InstallerStart> starts;
  for (const std::wstring& line : SplitAt(text, L'\n')) {
    std::vector<std::wstring> fields = SplitAt(line, L'\t');
    const std::wstring& tag = fields[0];
    if (tag == kStartTag && fields.size() == 2) {
      starts.emplace_back();
      starts.back().processId = static_cast<DWORD>(Number(fields[1], 10));
    }
    if (starts.empty()) continue;
    InstallerStart& start = starts.back();
    if (tag == kWaitHandleTag && fields.size() == 2) {
      start.waitHandle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(Number(fields[1], 16)));
    }
    if (tag == kWorkingDirectoryTag && fields.size() == 2) start.workingDirectory = fields[1];
    if (tag == kModuleTag && fields.size() == 2) start.modulePath = fields[1];
    if (tag == kCommandLineTag && fields.size() == 2) start.commandLine = fields[1];
    if (tag == kShowTag && fields.size() == 2) start.showWindow = std::stoi(fields[1]);
    if (tag == kFileTag && fields.size() == 5) {
      SeenFile file;
      file.name = fields[1];
      file.size = Number(fields[2], 10);
      file.hash = Number(fields[3], 16);
      file.lastWriteTime = Number(fields[4], 10);
      start.files.push_back(file);
    }
    if (tag == kSilentTag && fields.size() == 2) {
      start.silent = static_cast<int>(Number(fields[1], 10));
    }
    if (tag == kSizeTag && fields.size() == 3) start.fileSizes[fields[1]] = Number(fields[2], 10);
    if (tag == kEndTag) {
      start.complete = true;
      start.files = SortedByName(start.files);
    }
  }
  return starts;
}

std::vector<std::wstring> CommandLineArguments(const std::wstring& commandLine) {
  std::vector<std::wstring> arguments;
  int count = 0;
  wchar_t** list = CommandLineToArgvW(commandLine.c_str(), &count);
  if (!list) return arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(list[i]);
  LocalFree(list);
  return arguments;
}

std::vector<SeenFile> SortedByName(std::vector<SeenFile> files) {
  std::sort(files.begin(), files.end(),
            [](const SeenFile& a, const SeenFile& b) { return a.name < b.name; });
  return files;
}
