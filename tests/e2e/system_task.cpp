#include "tests/e2e/system_task.h"

// The text as XML character data.
static std::wstring Escaped(const std::wstring& text) {
  std::wstring escaped;
  for (wchar_t unit : text) {
    switch (unit) {
      case L'&':
        escaped += L"&amp;";
        break;
      case L'<':
        escaped += L"&lt;";
        break;
      case L'>':
        escaped += L"&gt;";
        break;
      default:
        escaped += unit;
    }
  }
  return escaped;
}

std::wstring SystemTaskDefinition(const std::wstring& command) {
  return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
         L"<Task version=\"1.2\" "
         L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
         L"  <Principals>\r\n"
         L"    <Principal id=\"Author\">\r\n"
         L"      <UserId>S-1-5-18</UserId>\r\n"
         L"      <RunLevel>HighestAvailable</RunLevel>\r\n"
         L"    </Principal>\r\n"
         L"  </Principals>\r\n"
         L"  <Settings>\r\n"
         L"    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\r\n"
         L"    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\r\n"
         L"    <AllowStartOnDemand>true</AllowStartOnDemand>\r\n"
         L"    <ExecutionTimeLimit>PT10M</ExecutionTimeLimit>\r\n"
         L"    <Enabled>true</Enabled>\r\n"
         L"  </Settings>\r\n"
         L"  <Actions Context=\"Author\">\r\n"
         L"    <Exec>\r\n"
         L"      <Command>" +
         Escaped(command) +
         L"</Command>\r\n"
         L"    </Exec>\r\n"
         L"  </Actions>\r\n"
         L"</Task>\r\n";
}
