#include "json/json_document.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "base/text_routines.h"
#include "json/script_session.h"

namespace velbrook {
namespace {

// The script variable that holds the document.
constexpr const char* kName = "da";
// SetNumber writes numbers as the C format "%.13g" does.
constexpr int kNumberDigits = 13;
constexpr std::size_t kNumberBufferBytes = 64;

Text Member(const Text& key) { return Text(kName) + "." + key; }

// The joint of GetText and GetDocument: an index path follows the name directly.
Text Joined(const Text& path) { return !path.empty() && path[0] == '[' ? kName + path : Member(path); }

// The optional path of Count, GetKeys, GetType, GetItem and AppendItem.
Text DocumentOrMember(const Text& path) { return path.empty() ? Text(kName) : Member(path); }

Text Quoted(const Text& value, bool raw) { return raw ? value : "'" + value + "'"; }

Text Stringified(const Text& expression) { return "JSON.stringify(" + expression + ")"; }

// The C locale's form whatever the process locale is: a decimal comma would break the script text.
Text FormatNumber(double value) {
  char buffer[kNumberBufferBytes];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, kNumberDigits);
  if (error != std::errc()) return Text();
  return Text(buffer, end);
}

std::int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
  if (value <= kLowest) return std::numeric_limits<std::int32_t>::min();
  if (value >= kHighest) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

}  // namespace

JsonDocument::JsonDocument() { OpenSession(); }

void JsonDocument::OpenSession() {
  // A session that cannot be opened leaves the one held before in place.
  if (std::shared_ptr<ScriptSession> fresh = ScriptSession::Open(kName)) session_ = std::move(fresh);
  Run(Text("var ") + kName + "={}");
}

bool JsonDocument::Parse(const Text& text) {
  if (!session_) return false;
  // Null first, so that a text that is not JSON leaves the document null; once per song of a run,
  // so no script is compiled for it.
  (void)session_->ClearDocumentToNull();
  return session_->ParseJsonIntoDocument(text);
}

Text JsonDocument::GetJson() const { return EvalText(Stringified(kName)); }

void JsonDocument::Clear() { Run(Text(kName) + "={}"); }

void JsonDocument::SetMember(const Text& key, const Text& value, bool asExpression) {
  if (asExpression) {
    Run(Member(key) + "= eval(" + (value.empty() ? Text("{}") : value) + ")");
  } else {
    Run(Member(key) + "='" + value + "'");
  }
}

void JsonDocument::SetMemberRaw(const Text& key, const Text& expression) {
  Run(Member(key) + "=" + expression);
}

void JsonDocument::SetNumber(const Text& key, double value) { Run(Member(key) + "=" + FormatNumber(value)); }

double JsonDocument::GetNumber(const Text& key) const {
  return session_ ? session_->EvalNumber(Member(key)).value_or(0.0) : 0.0;
}

Text JsonDocument::GetMemberJson(const Text& key) const { return EvalText(Stringified(Member(key))); }

Text JsonDocument::GetText(const Text& path, bool asJson) const {
  return EvalText(asJson ? Stringified(Joined(path)) : Joined(path));
}

JsonDocument JsonDocument::GetDocument(const Text& path) const {
  JsonDocument copy;
  (void)copy.Parse(EvalText(Stringified(Joined(path))));  // a path that names nothing leaves it null
  return copy;
}

void JsonDocument::DeleteMember(const Text& key) { Run("delete " + Member(key)); }

std::int32_t JsonDocument::Count(const Text& path) const {
  if (!session_) return 0;
  return TruncateToInt32(session_->EvalNumber("get__count(" + DocumentOrMember(path) + ")").value_or(0.0));
}

void JsonDocument::AppendItem(const Text& value, const Text& path, bool raw) {
  Text target = DocumentOrMember(path);
  Run("if(!" + target + ".map){" + target + "=[]} " + target + ".push(" + Quoted(value, raw) + ")");
}

Text JsonDocument::GetItem(std::int32_t index, const Text& path, bool asJson) const {
  Text item = DocumentOrMember(path) + "[" + std::to_string(index) + "]";
  return EvalText(asJson ? Stringified(item) : item);
}

void JsonDocument::SetItem(std::int32_t index, const Text& value, bool raw) {
  Run(Text(kName) + "[" + std::to_string(index) + "]=" + Quoted(value, raw));
}

void JsonDocument::RemoveItem(std::int32_t index) {
  Run(kName + (".splice(" + std::to_string(index) + ",1)"));
}

void JsonDocument::Reset(JsonType type) {
  switch (type) {
    case JsonType::kNull:
      Run(Text("var ") + kName + "=null");
      break;
    case JsonType::kObject:
      Run(Text("var ") + kName + "={}");
      break;
    case JsonType::kArray:
      Run(Text("var ") + kName + "=new Array()");
      break;
    default:
      break;  // no other type has an empty form
  }
}

void JsonDocument::SetValue(const Text& value, bool raw) { Run(Text(kName) + "=" + Quoted(value, raw)); }

bool JsonDocument::Exists(const Text& key) const {
  return session_ && session_->EvalTruth(Member(key) + " !=null").value_or(false);
}

void JsonDocument::GetKeys(std::vector<Text>& keys, const Text& path) const {
  Text list = EvalText("var ary=''; for (var key in " + DocumentOrMember(path) + ") {ary=ary+ key+','; }");
  Run("ary=null");  // the engine need not keep the text
  keys = SplitText(list, ",");
}

JsonType JsonDocument::GetType(const Text& path) const {
  if (!session_) return JsonType::kOther;
  Text value = DocumentOrMember(path);
  if (session_->EvalTruth(value + "==null").value_or(false)) return JsonType::kNull;
  Text type = EvalText("typeof (" + value + ")");
  if (type == "string") return JsonType::kString;
  if (type == "number") return JsonType::kNumber;
  if (type != "object") return JsonType::kOther;
  // Array.isArray, unlike a test for a `map` member, also holds for an object that has such a member.
  bool isArray = session_->EvalTruth("Array.isArray(" + value + ")").value_or(false);
  return isArray ? JsonType::kArray : JsonType::kObject;
}

void JsonDocument::Run(const Text& code) const {
  if (session_) (void)session_->AddCode(code);  // failures are silent by design
}

Text JsonDocument::EvalText(const Text& code) const {
  return session_ ? session_->EvalText(code).value_or(Text()) : Text();
}

}  // namespace velbrook
