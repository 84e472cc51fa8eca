#include <gtest/gtest.h>

#include "pack/rules/file_names.h"
#include "pack/rules/temp_path_room.h"
#include "pack/text/terminal_text.h"
#include "pack/text/utf.h"

namespace {

std::string Problem(const std::u16string& name) { return FileNameProblem(name).value_or(""); }

}  // namespace

TEST(FileNameProblem, AcceptsPlainNamesInAnyScript) {
  for (const char16_t* name : {u"setup.exe", u"Corvalinth.msi", u"セットアップ.exe", u"a",
                               u"{0C3A5E1B-7F2D-4B8A-9E61-5D2F8C7A4B10}", u"CONSOLE.txt", u"COM10",
                               u".hidden", u"nul-ish.msi", u"😀.msi"})
    EXPECT_EQ(Problem(name), "") << Utf16ToUtf8(name);
}

TEST(FileNameProblem, RefusesWhatWindowsCannotUseAsOneComponent) {
  EXPECT_EQ(Problem(u""), "is empty");
  EXPECT_NE(Problem(u"..\\evil.exe").find("path separator"), std::string::npos);
  EXPECT_NE(Problem(u"dir/setup.exe").find("path separator"), std::string::npos);
  for (const char16_t* name : {u"a<b", u"a>b", u"C:setup.exe", u"a\"b", u"a|b", u"a?b", u"a*b"})
    EXPECT_NE(Problem(name).find("Windows forbids"), std::string::npos) << Utf16ToUtf8(name);
  EXPECT_EQ(Problem(u"tab\there"), "contains the control character U+0009");
  EXPECT_EQ(Problem(u"del\x7f"), "contains the control character U+007F");
  EXPECT_NE(Problem(u"setup.").find("dot"), std::string::npos);
  EXPECT_NE(Problem(u"..").find("dot"), std::string::npos);
  EXPECT_NE(Problem(u"setup.exe ").find("space"), std::string::npos);
  EXPECT_EQ(Problem(std::u16string(255, u'x')), "");
  EXPECT_NE(Problem(std::u16string(256, u'x')).find("255"), std::string::npos);
  EXPECT_NE(Problem(std::u16string(1, char16_t(0xD800)) + u"x").find("surrogate"),
            std::string::npos);
}

TEST(FileNameProblem, RefusesDeviceNamesWithAnyCaseAndExtension) {
  for (const char16_t* name : {u"CON", u"con", u"Nul.msi", u"aux.tar.gz", u"prn", u"COM1",
                               u"lpt9.exe", u"COM¹", u"CONIN$", u"conout$.txt", u"NUL .txt"})
    EXPECT_NE(Problem(name).find("reserved device name"), std::string::npos) << Utf16ToUtf8(name);
}

TEST(TitleProblem, RefusesControlCharactersOnly) {
  EXPECT_EQ(TitleProblem(u"コルヴァリンス 2024 \u202Eright-to-left\u202C"), std::nullopt);
  EXPECT_EQ(TitleProblem(u"Corvalinth\n::error::x").value_or(""),
            "contains the control character U+000A");
  EXPECT_EQ(TitleProblem(u"A\x7F").value_or(""), "contains the control character U+007F");
  EXPECT_EQ(TitleProblem(u"A\x9B").value_or(""), "contains the control character U+009B");
}

// The launcher's paths are the temporary folder (with its backslash), the folder name, and for a
// file a backslash and the file name: at most 247 units for the folder (MAX_PATH less 12, with
// the terminating null as MAX_PATH counts it), 259 for a file.
TEST(TempFolderRoom, IsWhatTheFolderAndTheLongerFileLeaveOfWindowsShortPaths) {
  const std::u16string guid = u"{0C3A5E1B-7F2D-4B8A-9E61-5D2F8C7A4B10}";  // 38 units
  EXPECT_EQ(TempFolderRoom(guid, u"setup.exe", u"Corvalinth.msi"), 259 - 38 - 1 - 14);
  EXPECT_EQ(TempFolderRoom(guid, u"Corvalinth.msi", u"setup.exe"), 206);  // either file
  // Up to 11 units of file name the folder's own limit is the nearer one.
  EXPECT_EQ(TempFolderRoom(guid, u"a.exe", std::u16string(10, u'p')), 247 - 38);
  EXPECT_EQ(TempFolderRoom(guid, u"a.exe", std::u16string(11, u'p')), 247 - 38);
  EXPECT_EQ(TempFolderRoom(guid, u"a.exe", std::u16string(12, u'p')), 247 - 38 - 1);
  EXPECT_EQ(TempFolderRoom(std::u16string(255, u'f'), std::u16string(255, u'i'), u"p.msi"),
            259 - 255 - 1 - 255);
}

TEST(TempPathWarning, WarnsBelowAUsualTemporaryFolderAndNamesWhatTakesTheRoom) {
  const std::u16string guid = u"{0C3A5E1B-7F2D-4B8A-9E61-5D2F8C7A4B10}";
  // C:\Users\ + 20 characters + \AppData\Local\Temp\.
  EXPECT_EQ(kUsualTempFolderLength,
            static_cast<int64_t>(std::u16string(u"C:\\Users\\").size() + 20 +
                                 std::u16string(u"\\AppData\\Local\\Temp\\").size()));
  EXPECT_EQ(TempPathWarning(guid, u"setup.exe", u"Corvalinth.msi"), std::nullopt);
  EXPECT_EQ(TempPathWarning(guid, u"setup.exe", std::u16string(171, u'p')), std::nullopt);
  EXPECT_EQ(TempPathWarning(guid, u"setup.exe", std::u16string(172, u'p')).value_or(""),
            "the folder name and the package name leave room for a temporary folder of only 48 "
            "characters, and the launcher does not use long paths: under a usual "
            "C:\\Users\\<name>\\AppData\\Local\\Temp\\ (49 characters for a user name of 20) it "
            "cannot create its files there (\"テンポラリファイルを作成できません。\", exit code "
            "82). Shorten the names");
  EXPECT_EQ(TempPathWarning(guid, std::u16string(172, u'i'), u"p.msi")
                .value_or("")
                .find("the folder name and the installer name leave room for a temporary folder "
                      "of only 48 characters"),
            0u);
  EXPECT_EQ(TempPathWarning(std::u16string(198, u'f'), u"setup.exe", u"p.msi"), std::nullopt);
  EXPECT_EQ(TempPathWarning(std::u16string(199, u'f'), u"setup.exe", u"p.msi")
                .value_or("")
                .find("the folder name leaves room for a temporary folder of only 48 characters"),
            0u);
  EXPECT_EQ(TempPathWarning(std::u16string(255, u'f'), std::u16string(255, u'i'), u"p.msi")
                .value_or("")
                .find("the folder name and the installer name leave room for no temporary "
                      "folder at all"),
            0u);
}

TEST(TerminalText, EscapesWhatCouldForgeLinesOrReorderThem) {
  EXPECT_EQ(TerminalText("コルヴァリンス 2024 C:\\dir\\setup.exe"),
            "コルヴァリンス 2024 C:\\dir\\setup.exe");
  EXPECT_EQ(TerminalText("A\n::error::forged\r##vso[task.complete]"),
            "A\\u000a::error::forged\\u000d##vso[task.complete]");
  EXPECT_EQ(TerminalText("\x1b[2J\x7f\xc2\x85\xc2\x9b"), "\\u001b[2J\\u007f\\u0085\\u009b");
  // Bidirectional controls and the line and paragraph separators; U+202F is a plain space.
  EXPECT_EQ(TerminalText("a\u061C\u200E\u200F\u2028\u2029\u202A\u202E\u202F\u2066\u2069\u206A"),
            "a\\u061c\\u200e\\u200f\\u2028\\u2029\\u202a\\u202e\u202F\\u2066\\u2069\u206A");
  // Bytes that are no UTF-8 (a POSIX file name may hold them) are shown by value.
  EXPECT_EQ(TerminalText("a\xff\xc0\xaf\xed\xa0\x80"
                         "b\xe3\x82"),
            "a\\xff\\xc0\\xaf\\xed\\xa0\\x80b\\xe3\\x82");
  EXPECT_EQ(TerminalText(std::string("\0", 1)), "\\u0000");
}

TEST(SameFileName, IgnoresCaseAsWindowsDoes) {
  EXPECT_TRUE(SameFileName(u"Setup.EXE", u"setup.exe"));
  EXPECT_FALSE(SameFileName(u"setup.exe", u"setup.msi"));
  // NTFS maps every unit to upper case, not only ASCII: these are one file there.
  EXPECT_TRUE(SameFileName(u"Ärger.exe", u"äRGER.EXE"));
  EXPECT_TRUE(SameFileName(u"Установка.msi", u"установка.MSI"));
  EXPECT_TRUE(SameFileName(u"ΣΕΤΑΠ.msi", u"σεταπ.msi"));
  EXPECT_TRUE(SameFileName(u"ｓｅｔｕｐ.exe", u"ＳＥＴＵＰ.exe"));  // full-width letters
  // Kana have no case; a character whose upper case is two (ß, SS) stays itself; the units of a
  // supplementary character are compared as they are.
  EXPECT_FALSE(SameFileName(u"せっと.exe", u"セット.exe"));
  EXPECT_FALSE(SameFileName(u"straße.msi", u"STRASSE.msi"));
  EXPECT_FALSE(SameFileName(u"\U00010428.exe", u"\U00010400.exe"));
  EXPECT_FALSE(SameFileName(u"a.exe", u"a.exe "));
}

TEST(UpperCaseUnit, MapsEachUnitByUnicodesSimpleUpperCase) {
  struct Pair {
    char16_t lower, upper;
  } pairs[] = {{u'a', u'A'}, {u'z', u'Z'},   {u'ä', u'Ä'}, {u'ÿ', u'Ÿ'}, {u'ā', u'Ā'},
               {u'ǆ', u'Ǆ'}, {u'ǅ', u'Ǆ'},   {u'ς', u'Σ'}, {u'я', u'Я'}, {u'ա', u'Ա'},
               {u'ⓐ', u'Ⓐ'}, {u'ｚ', u'Ｚ'}, {u'ꙁ', u'Ꙁ'}, {u'ı', u'I'}, {u'ſ', u'S'}};
  for (const Pair& pair : pairs) {
    EXPECT_EQ(UpperCaseUnit(pair.lower), pair.upper) << std::hex << unsigned(pair.lower);
    EXPECT_EQ(UpperCaseUnit(pair.upper), pair.upper) << std::hex << unsigned(pair.upper);
  }
  for (char16_t same : {u'0', u'@', u'[', u'`', u'{', u'ß', u'ŉ', u'×', u'÷', u'セ', u'日',
                        char16_t(0xD801), char16_t(0xDC28), char16_t(0xFFFF)})
    EXPECT_EQ(UpperCaseUnit(same), same) << std::hex << unsigned(same);
}

TEST(Utf8ToUtf16, CarriesJapaneseAndSupplementaryCharacters) {
  EXPECT_EQ(Utf8ToUtf16("セットアップ"), std::u16string(u"セットアップ"));
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), std::u16string(u"\U0001F600"));
  EXPECT_EQ(Utf16ToUtf8(u"製品\U0001F600"), "製品\xF0\x9F\x98\x80");
}

TEST(Utf8ToUtf16, RefusesMalformedUtf8) {
  for (const char* text :
       {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xE3\x82", "\xFF"})
    EXPECT_FALSE(Utf8ToUtf16(text)) << text;
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}
