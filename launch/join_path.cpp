#include "launch/join_path.h"

WideString JoinPath(const WideString& directory, const WideString& name) {
  WideString path;
  path.Append(directory);
  if (!directory.Empty() && directory[directory.Length() - 1] != u'\\') path.Append(u'\\');
  path.Append(name);
  return path;
}
