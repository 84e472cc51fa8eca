#include "launch/messages.h"

// The codes are the Windows error codes named beside them (winerror.h).
const LauncherMessage kOwnPathUnavailable = {u"インストールファイルのパス名を取得できません。",
                                             161};  // ERROR_BAD_PATHNAME

const LauncherMessage kTempPathUnavailable = {u"テンポラリフォルダのパス名を取得できません。",
                                              3};  // ERROR_PATH_NOT_FOUND

const LauncherMessage kInstallFileNotOpened = {u"インストールファイルを開けません。",
                                               110};  // ERROR_OPEN_FAILED

const LauncherMessage kNoAnchor = {u"アンカーがありません。", 11};  // ERROR_BAD_FORMAT

const LauncherMessage kTempFileNotCreated = {u"テンポラリファイルを作成できません。",
                                             82};  // ERROR_CANNOT_MAKE

const LauncherMessage kInstallFileNotRead = {u"インストールファイルを読み取れません。",
                                             30};  // ERROR_READ_FAULT

const LauncherMessage kTempFileNotWritten = {u"テンポラリファイルに書き込めません。",
                                             29};  // ERROR_WRITE_FAULT

const LauncherMessage kInstallerNotStarted = {u"インストーラーを起動できません。",
                                              192};  // ERROR_EXE_MARKED_INVALID

ComposedMessage CreationMessage(const WideString& path) {
  ComposedMessage message = {
      WideString(kTempFileNotCreated.text, UnitCount(kTempFileNotCreated.text)),
      kTempFileNotCreated.exitCode};
  message.text.Append(u"\r\n\r\n", 4);
  message.text.Append(path);
  return message;
}

const char16_t* MessageCaption(const WideString& title) { return title.Data(); }
