#include "json/script_session.h"

#include <js/CompilationAndEvaluation.h>
#include <js/CompileOptions.h>
#include <js/GlobalObject.h>
#include <js/JSON.h>
#include <js/PropertyAndElement.h>
#include <js/PropertyDescriptor.h>
#include <js/SourceText.h>
#include <js/String.h>
#include <jsapi.h>
#include <mozilla/Utf8.h>

#include <type_traits>
#include <utility>

#include "base/code_page.h"
#include "json/engine_context.h"
#include "json/engine_values.h"
#include "json/member_path.h"

namespace velbrook {

extern const char kSupportScript[];  // generated from support_script.js

namespace {

constexpr JSClass kGlobalClass = {
    "DocumentGlobal", JSCLASS_GLOBAL_FLAGS, &JS::DefaultGlobalClassOps, nullptr, nullptr, nullptr};
// The name error reports and stack traces give the evaluated texts.
constexpr const char* kScriptFileName = "document";

bool Evaluate(JSContext* cx, const std::string& utf8, bool wantValue, JS::MutableHandleValue result) {
  JS::CompileOptions options(cx);
  options.setFileAndLine(kScriptFileName, 1).setNoScriptRval(!wantValue);
  JS::SourceText<mozilla::Utf8Unit> source;
  if (!source.init(cx, utf8.data(), utf8.size(), JS::SourceOwnership::Borrowed)) return false;
  return JS::Evaluate(cx, options, source, result);
}

bool EvaluateText(JSContext* cx, const Text& code, bool wantValue, JS::MutableHandleValue result) {
  bool converted = false;
  std::string utf8 = TextToUtf8(code, &converted);
  return converted && Evaluate(cx, utf8, wantValue, result);
}

enum class WalkOutcome { kValue, kFailure, kLeftToScript };

// Reads a member chain the way the script `root.a[0].b` would. The root must be a var-declared
// global (an own, non-configurable data property of the global), which no later declaration can
// shadow; reading a member of null or undefined fails as the script's TypeError does. A step on a
// primitive value (a string's length, say) is left to the script.
WalkOutcome WalkMemberPath(JSContext* cx, JS::HandleObject global, const MemberPath& path,
                           JS::MutableHandleValue value) {
  JS::Rooted<mozilla::Maybe<JS::PropertyDescriptor>> root(cx);
  if (!JS_GetOwnPropertyDescriptor(cx, global, path.root.c_str(), &root)) return WalkOutcome::kFailure;
  if (root.isNothing() || root->configurable() || !root->isDataDescriptor()) {
    return WalkOutcome::kLeftToScript;
  }
  value.set(root->value());
  for (const MemberStep& step : path.steps) {
    if (value.isNullOrUndefined()) return WalkOutcome::kFailure;
    if (!value.isObject()) return WalkOutcome::kLeftToScript;
    JS::RootedObject object(cx, &value.toObject());
    bool read = step.isIndex ? JS_GetElement(cx, object, step.index, value)
                             : JS_GetProperty(cx, object, step.name.c_str(), value);
    if (!read) return WalkOutcome::kFailure;
  }
  return WalkOutcome::kValue;
}

}  // namespace

struct ScriptSession::Impl {
  Impl(JSContext* cx, JS::HandleObject globalObject, std::string name)
      : global(cx, globalObject), documentName(std::move(name)) {
    engine::SessionOpened();
  }

  ~Impl() {
    global.reset();
    engine::SessionClosed();
  }

  bool Read(JSContext* cx, const Text& code, JS::MutableHandleValue value) {
    std::optional<MemberPath> path = ParseMemberPath(code);
    if (path && path->root == documentName) {
      switch (WalkMemberPath(cx, global, *path, value)) {
        case WalkOutcome::kValue:
          return true;
        case WalkOutcome::kFailure:
          return false;
        case WalkOutcome::kLeftToScript:
          break;
      }
    }
    return EvaluateText(cx, code, true, value);
  }

  template <typename Convert>
  std::invoke_result_t<Convert, JSContext*, JS::HandleValue> EvalAs(const Text& code, Convert convert) {
    JSContext* cx = engine::Context();
    if (cx == nullptr) return std::nullopt;
    JSAutoRealm realm(cx, global);
    engine::EvaluationTimer timer;
    JS::RootedValue value(cx);
    std::invoke_result_t<Convert, JSContext*, JS::HandleValue> result;
    if (Read(cx, code, &value)) result = convert(cx, value);
    engine::ClearPendingFailure(cx);
    return result;
  }

  JS::PersistentRootedObject global;
  const std::string documentName;
};

ScriptSession::ScriptSession(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ScriptSession::~ScriptSession() = default;

std::unique_ptr<ScriptSession> ScriptSession::Open(std::string documentName) {
  JSContext* cx = engine::Context();
  if (cx == nullptr) return nullptr;
  JS::RealmOptions options;
  JS::RootedObject global(cx,
                          JS_NewGlobalObject(cx, &kGlobalClass, nullptr, JS::FireOnNewGlobalHook, options));
  if (!global) {
    engine::ClearPendingFailure(cx);
    return nullptr;
  }
  {
    JSAutoRealm realm(cx, global);
    engine::EvaluationTimer timer;
    JS::RootedValue ignored(cx);
    // The default global class makes each standard class when script first names it; setting them
    // all up at once would make opening a session several times dearer.
    bool ready = Evaluate(cx, kSupportScript, false, &ignored);
    engine::ClearPendingFailure(cx);
    if (!ready) return nullptr;
  }
  return std::unique_ptr<ScriptSession>(
      new ScriptSession(std::make_unique<Impl>(cx, global, std::move(documentName))));
}

bool ScriptSession::AddCode(const Text& code) {
  JSContext* cx = engine::Context();
  if (cx == nullptr) return false;
  JSAutoRealm realm(cx, impl_->global);
  engine::EvaluationTimer timer;
  JS::RootedValue ignored(cx);
  bool ran = EvaluateText(cx, code, false, &ignored);
  engine::ClearPendingFailure(cx);
  return ran;
}

std::optional<Text> ScriptSession::EvalText(const Text& code) {
  return impl_->EvalAs(code, [](JSContext* cx, JS::HandleValue v) { return engine::ValueToText(cx, v); });
}

std::optional<double> ScriptSession::EvalNumber(const Text& code) {
  return impl_->EvalAs(code, [](JSContext* cx, JS::HandleValue v) { return engine::ValueToNumber(cx, v); });
}

std::optional<bool> ScriptSession::EvalTruth(const Text& code) {
  return impl_->EvalAs(code, [](JSContext*, JS::HandleValue v) { return engine::ValueToTruth(v); });
}

bool ScriptSession::ClearDocumentToNull() {
  JSContext* cx = engine::Context();
  if (cx == nullptr) return false;
  JSAutoRealm realm(cx, impl_->global);
  engine::EvaluationTimer timer;  // storing the value may run a setter that script put in its place
  bool stored = JS_SetProperty(cx, impl_->global, impl_->documentName.c_str(), JS::NullHandleValue);
  engine::ClearPendingFailure(cx);
  return stored;
}

bool ScriptSession::ParseJsonIntoDocument(const Text& json) {
  JSContext* cx = engine::Context();
  if (cx == nullptr) return false;
  JSAutoRealm realm(cx, impl_->global);
  engine::EvaluationTimer timer;  // storing the value may run a setter that script put in its place
  bool converted = false;
  std::string utf8 = TextToUtf8(json, &converted);
  if (!converted) return false;
  JS::RootedString source(cx, JS_NewStringCopyUTF8N(cx, JS::UTF8Chars(utf8.data(), utf8.size())));
  std::string().swap(utf8);  // the engine has its own copy; a large text need not be held twice
  JS::RootedValue value(cx);
  bool stored = source && JS_ParseJSON(cx, source, &value) &&
                JS_SetProperty(cx, impl_->global, impl_->documentName.c_str(), value);
  engine::ClearPendingFailure(cx);
  return stored && !value.isNull();
}

}  // namespace velbrook
