#include "web/cookie_merge.h"

#include <algorithm>
#include <vector>

#include "base/text_routines.h"

namespace velbrook {
namespace {

constexpr char kItemSeparator[] = ";";
constexpr char kJoinSeparator[] = "; ";
constexpr char kDeletedSuffix[] = "=deleted";
constexpr int kDeletedSuffixChars = 8;

Text CookieName(const Text& item) {
  int equals = FindText(item, "=");
  return TrimSpaces(equals == 0 ? item : item.substr(0, static_cast<std::size_t>(equals - 1)));
}

bool IsDeleted(const Text& item) { return RightChars(item, kDeletedSuffixChars) == kDeletedSuffix; }

// New items first; an old item joins only when no item already listed carries its name.
std::vector<Text> MergeByName(const std::vector<Text>& oldItems, const std::vector<Text>& newItems) {
  std::vector<Text> merged = newItems;
  std::vector<Text> names;
  names.reserve(newItems.size() + oldItems.size());
  for (const Text& item : newItems) names.push_back(CookieName(item));
  for (const Text& item : oldItems) {
    Text name = CookieName(item);
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    merged.push_back(item);
    names.push_back(std::move(name));
  }
  return merged;
}

Text JoinLive(const std::vector<Text>& items) {
  Text joined;
  for (const Text& item : items) {
    if (!IsDeleted(item)) joined += item + kJoinSeparator;
  }
  if (!joined.empty()) joined.resize(joined.size() - 2);
  return joined;
}

// Of exactly equal items the first survives, in its place. The joined text is split again rather than
// the list walked, so a single trailing empty item drops out; one that survives after another empty
// item leaves the result ending in "; ".
Text DropRepeats(const Text& joined) {
  std::vector<Text> kept;
  for (Text& item : SplitText(joined, kJoinSeparator)) {
    if (std::find(kept.begin(), kept.end(), item) == kept.end()) kept.push_back(std::move(item));
  }
  Text result;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) result += kJoinSeparator;
    result += kept[i];
  }
  return result;
}

}  // namespace

Text MergeCookies(Text& oldCookies, Text& newCookies) {
  oldCookies = RemoveSpaces(oldCookies);
  newCookies = RemoveSpaces(newCookies);
  const std::vector<Text> merged =
      MergeByName(SplitText(oldCookies, kItemSeparator), SplitText(newCookies, kItemSeparator));
  oldCookies = DropRepeats(JoinLive(merged));
  return oldCookies;
}

}  // namespace velbrook
