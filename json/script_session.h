#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/text.h"

namespace velbrook {

// One global object of the engine (a realm of its own) with the support script run in it and a
// global variable that holds a document. Script texts run in that global scope, and what they declare
// stays for later calls. Every failure clears the engine's pending exception and gives nothing.
class ScriptSession {
 public:
  // A fresh session whose document variable is not declared yet. Null when the engine cannot run on
  // this thread or the support script fails.
  static std::unique_ptr<ScriptSession> Open(std::string documentName);

  ~ScriptSession();
  ScriptSession(const ScriptSession&) = delete;
  ScriptSession& operator=(const ScriptSession&) = delete;

  // Runs a script text for its effects; false when it fails.
  bool AddCode(const Text& code);

  // Evaluates a script text and converts its completion value (see engine_values.h for the rules).
  // A text that only reads a member chain of the document is read by walking the engine's objects
  // directly, which gives the same result without compiling a script.
  std::optional<Text> EvalText(const Text& code);
  std::optional<double> EvalNumber(const Text& code);
  std::optional<bool> EvalTruth(const Text& code);

  // Reads `json` with the engine's JSON parser, never as script, and stores the value in the document
  // variable, which must be declared already. True when a value other than null was stored; on any
  // failure the variable keeps what it held.
  bool ParseJsonIntoDocument(const Text& json);
  // Stores null in the document variable, as the script `name=null` does, without compiling script.
  bool ClearDocumentToNull();

 private:
  struct Impl;
  explicit ScriptSession(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace velbrook
