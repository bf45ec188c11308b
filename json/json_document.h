#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/text.h"

namespace velbrook {

class ScriptSession;

// Type codes shared by GetType and Reset.
enum class JsonType : std::int32_t {
  kOther = -1,  // true and false, functions, and a path the engine cannot evaluate
  kNull = 0,    // null, and an undefined value such as a missing member
  kNumber = 2,
  kObject = 4,
  kArray = 5,
  kString = 6,
};

// A JSON value held as the global variable `da` of a private script engine session and addressed by
// member expressions. Every operation builds a short script text from its arguments and has the
// engine evaluate it in the session's global scope; keys, paths and values go into that text as they
// are, unescaped, so they are script source themselves (a key may be "url" or "list[0].name").
//
// Joints: a key always follows "da."; a path for GetText and GetDocument follows "da" directly when
// it begins with "[" and "da." otherwise; the optional path of Count, GetKeys, GetType, GetItem and
// AppendItem follows "da." when given and means the document itself when empty.
//
// Failures are silent: an operation whose script text cannot be evaluated gives its empty result
// (the empty text, 0, false, an empty list) and leaves the session as the script had left it.
// Copies share the session and therefore the document; a moved-from document has no session, and
// every operation on it but OpenSession gives the empty result. Documents belong to the thread that
// created the first one.
class JsonDocument {
 public:
  // Opens a session whose document is an empty object.
  JsonDocument();

  // Starts a fresh session for this object alone; its document is an empty object. Copies keep the
  // previous session.
  void OpenSession();

  // Reads a JSON text (an object, array, number, string, true or false) into the document with the
  // engine's JSON parser; no script is ever run from it. False, with the document null, for null,
  // the empty text and anything that is not JSON.
  bool Parse(const Text& text);

  // The whole document as JSON text.
  Text GetJson() const;

  // The document becomes an empty object.
  void Clear();

  // Sets a member to the value quoted as a string literal, or with `asExpression` to what eval makes
  // of the value (an empty value makes an empty object).
  void SetMember(const Text& key, const Text& value, bool asExpression = false);

  // Sets a member to a script expression placed as it is.
  void SetMemberRaw(const Text& key, const Text& expression);

  // Sets a member to a number written with 13 significant digits.
  void SetNumber(const Text& key, double value);

  // A member read as a number: numbers as they are, strings that read as numbers as those numbers;
  // 0 otherwise.
  double GetNumber(const Text& key) const;

  // A member as JSON text.
  Text GetMemberJson(const Text& key) const;

  // The value at `path` as text (strings unchanged, numbers in decimal), or as JSON text.
  Text GetText(const Text& path, bool asJson = false) const;

  // A new document with a session of its own, holding a JSON copy of the value at `path`. When the
  // path names no value that JSON can carry, the new document is null.
  JsonDocument GetDocument(const Text& path) const;

  // Deletes a member.
  void DeleteMember(const Text& key);

  // The number of items of an array or own members of an object at `path`; -2 for null and a
  // missing member, 0 when the path cannot be evaluated.
  std::int32_t Count(const Text& path = {}) const;

  // Appends a value (quoted, or as script source with `raw`) to the array at `path`; a value there
  // that has no `map` member is first replaced by an empty array.
  void AppendItem(const Text& value, const Text& path = {}, bool raw = false);

  // An item of the array at `path`, as text or as JSON text; empty past the end.
  Text GetItem(std::int32_t index, const Text& path = {}, bool asJson = false) const;

  // Sets an item of the document itself (quoted, or as script source with `raw`).
  void SetItem(std::int32_t index, const Text& value, bool raw = false);

  // Removes an item of the document array.
  void RemoveItem(std::int32_t index);

  // Makes the document null, an empty object or an empty array; any other type leaves it alone.
  void Reset(JsonType type);

  // Sets the whole document (quoted, or as script source with `raw`).
  void SetValue(const Text& value, bool raw = false);

  // Whether a member is neither null nor undefined.
  bool Exists(const Text& key) const;

  // Replaces `keys` by the keys a for-in loop over the value at `path` yields: the value's own keys,
  // then "toJSONString" and "parseJSON". A key holding a comma comes back in pieces.
  void GetKeys(std::vector<Text>& keys, const Text& path = {}) const;

  // The type code of the value at `path`: arrays give kArray and plain objects kObject.
  JsonType GetType(const Text& path = {}) const;

 private:
  // Runs a script text for its effects; the outcome is not reported.
  void Run(const Text& code) const;
  Text EvalText(const Text& code) const;

  std::shared_ptr<ScriptSession> session_;
};

}  // namespace velbrook
