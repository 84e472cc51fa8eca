#include "launch/messages.h"

#include "launch/exit_codes.h"

const LauncherMessage kOwnPathUnavailable = {u"インストールファイルのパス名を取得できません。",
                                             kExitOwnPathUnavailable};

const LauncherMessage kTempPathUnavailable = {u"テンポラリフォルダのパス名を取得できません。",
                                              kExitTempPathUnavailable};

const LauncherMessage kInstallFileNotOpened = {u"インストールファイルを開けません。",
                                               kExitInstallFileNotOpened};

const LauncherMessage kNoAnchor = {u"アンカーがありません。", kExitNoAnchor};

const LauncherMessage kTempFileNotCreated = {u"テンポラリファイルを作成できません。",
                                             kExitTempFileNotCreated};

const LauncherMessage kInstallFileNotRead = {u"インストールファイルを読み取れません。",
                                             kExitInstallFileNotRead};

const LauncherMessage kTempFileNotWritten = {u"テンポラリファイルに書き込めません。",
                                             kExitTempFileNotWritten};

const LauncherMessage kInstallerNotStarted = {u"インストーラーを起動できません。",
                                              kExitInstallerNotStarted};

ComposedMessage CreationMessage(const WideString& path) {
  ComposedMessage message = {
      WideString(kTempFileNotCreated.text, UnitCount(kTempFileNotCreated.text)),
      kTempFileNotCreated.exitCode};
  message.text.Append(u"\r\n\r\n", 4);
  message.text.Append(path);
  return message;
}

const char16_t* MessageCaption(const WideString& title) { return title.Data(); }
