#include "launch/messages.h"

const char16_t kOwnPathUnavailable[] = u"インストールファイルのパス名を取得できません。";
const char16_t kTempPathUnavailable[] = u"テンポラリフォルダのパス名を取得できません。";
const char16_t kInstallFileNotOpened[] = u"インストールファイルを開けません。";
const char16_t kNoAnchor[] = u"アンカーがありません。";
const char16_t kTempFileNotCreated[] = u"テンポラリファイルを作成できません。";
const char16_t kInstallFileNotRead[] = u"インストールファイルを読み取れません。";
const char16_t kTempFileNotWritten[] = u"テンポラリファイルに書き込めません。";
const char16_t kInstallerNotStarted[] = u"インストーラーを起動できません。";

WideString CreationMessage(const WideString& path) {
  WideString text(kTempFileNotCreated, UnitCount(kTempFileNotCreated));
  text.Append(u"\r\n\r\n", 4);
  text.Append(path);
  return text;
}

const char16_t* MessageCaption(const WideString& title) { return title.Data(); }
