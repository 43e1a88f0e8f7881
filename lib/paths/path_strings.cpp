#include "paths/path_strings.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "paths/internal.h"
#include "platform/environment.h"
#include "platform/files.h"

namespace quill {
namespace {

// The byte length of the character at `text`, counted as the C runtime counts
// it under the current locale. A NUL byte, a byte that starts no valid
// character and an incomplete character at the end each count as one byte;
// `state` is reset then, because the runtime leaves it undefined.
std::size_t CharLength(const char* text, std::size_t available, std::mbstate_t* state) {
  const std::size_t length = std::mbrlen(text, available, state);
  if (length == 0 || length > available) {
    *state = std::mbstate_t{};
    return 1;
  }
  return length;
}

// True when every byte of `s` is below 0x80.
bool IsAscii(const std::string& s) {
  for (const char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Where the last character of `s` begins; npos for an empty `s`. A walk from
// the front is the only sound way: a trail byte may look like any single-byte
// character, `\` included.
std::size_t LastCharOffset(const std::string& s) {
  if (s.empty()) return std::string::npos;
  // Bytes below 0x80 are whole characters when no lead byte comes before them.
  if (MB_CUR_MAX == 1 || IsAscii(s)) return s.size() - 1;
  std::mbstate_t state{};
  std::size_t offset = 0;
  std::size_t last = 0;
  while (offset < s.size()) {
    last = offset;
    offset += CharLength(s.data() + offset, s.size() - offset, &state);
  }
  return last;
}

bool EndsInSeparator(const std::string& path) {
  if (path.empty()) return false;
  const std::size_t last = LastCharOffset(path);
  return last == path.size() - 1 && platform::IsPathSeparator(path[last]);
}

// One backward pass: the first `\\` met wins at once; a `/` is only
// remembered, for a path that turns out to hold no `\\`.
std::size_t LastSeparator(const std::string& path) {
  const char* const data = path.data();
  std::size_t slash = std::string::npos;
  for (std::size_t i = path.size(); i-- > 0;) {
    if (data[i] == '\\') return i;
    if (data[i] == '/' && slash == std::string::npos) slash = i;
  }
  return slash;
}

// Where the leaf begins; false when it cannot have a stem and an extension.
bool NamedLeafStart(const std::string& path, std::size_t* start) {
  const std::size_t separator = LastSeparator(path);
  *start = separator == std::string::npos ? 0 : separator + 1;
  const std::size_t length = path.size() - *start;
  if (length == 0 || (length == 1 && path[*start] == ' ')) return false;
  return path.find('?', *start) == std::string::npos;
}

// The position of the leaf's last dot, or npos.
std::size_t LeafDot(const std::string& path, std::size_t start) {
  for (std::size_t i = path.size(); i-- > start;) {
    if (path[i] == '.') return i;
  }
  return std::string::npos;
}

char LowerByte(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

char LastChar(const std::string& s) {
  const std::size_t last = LastCharOffset(s);
  return last == std::string::npos ? '\0' : s[last];
}

std::string Surround(const std::string& s, char c) {
  std::string result;
  result.reserve(s.size() + 2);
  result += c;
  result += s;
  result += c;
  return result;
}

std::string AddTrailingSeparator(const std::string& path, char separator) {
  return path.empty() || EndsInSeparator(path) ? path : path + separator;
}

std::string RemoveTrailingSeparator(const std::string& path) {
  return EndsInSeparator(path) ? path.substr(0, path.size() - 1) : path;
}

std::string RemoveTrailingSeparator(const char* path) {
  return RemoveTrailingSeparator(internal::FromPointer(path));
}

std::string PathFolder(const std::string& path) {
  const std::size_t separator = LastSeparator(path);
  return separator == std::string::npos ? std::string("\\") : path.substr(0, separator);
}

std::string PathFolder(const char* path) {
  return PathFolder(internal::FromPointer(path));
}

std::string PathLeaf(const std::string& path) {
  const std::size_t separator = LastSeparator(path);
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string PathStem(const std::string& path) {
  std::size_t start = 0;
  if (!NamedLeafStart(path, &start)) return std::string();
  const std::size_t dot = LeafDot(path, start);
  return path.substr(start, (dot == std::string::npos ? path.size() : dot) - start);
}

std::string PathStem(const char* path) {
  return PathStem(internal::FromPointer(path));
}

std::string PathExtension(const std::string& path) {
  std::size_t start = 0;
  if (!NamedLeafStart(path, &start)) return std::string();
  const std::size_t dot = LeafDot(path, start);
  return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string PathExtension(const char* path) {
  return PathExtension(internal::FromPointer(path));
}

std::string ModulePath(const void* module) {
  return module == nullptr ? platform::ModuleFileName() : std::string();
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string ToLower(const std::string& s) {
  std::string result;
  if (MB_CUR_MAX == 1 || IsAscii(s)) {
    result = s;
    std::transform(result.begin(), result.end(), result.begin(), LowerByte);
    return result;
  }
  // Byte-wise lower-casing would change trail bytes that look like `A`-`Z`,
  // so each character is mapped as a whole.
  result.reserve(s.size());
  std::mbstate_t state{};
  std::size_t offset = 0;
  while (offset < s.size()) {
    const char* text = s.data() + offset;
    const std::size_t available = s.size() - offset;
    wchar_t wide = 0;
    std::size_t length = std::mbrtowc(&wide, text, available, &state);
    if (length == 0 || length > available) {
      state = std::mbstate_t{};
      length = 1;
      result += *text;
    } else if (length == 1) {
      result += LowerByte(*text);
    } else {
      const wchar_t lower = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(wide)));
      char encoded[MB_LEN_MAX];
      std::mbstate_t encodeState{};
      const std::size_t written =
          lower != wide ? std::wcrtomb(encoded, lower, &encodeState) : static_cast<std::size_t>(-1);
      if (written <= sizeof encoded) {
        result.append(encoded, written);
      } else {
        result.append(text, length);
      }
    }
    offset += length;
  }
  return result;
}

bool CopyToBuffer(char* destination, unsigned capacity, const char* source) {
  if (destination == nullptr || capacity == 0) return false;
  const char* text = source != nullptr ? source : "";
  const std::size_t length = std::strlen(text);
  const std::size_t copied = std::min<std::size_t>(length, capacity - 1);
  std::memmove(destination, text, copied);
  destination[copied] = '\0';
  return length < capacity;
}

}  // namespace quill
