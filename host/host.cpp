#include "host/host.h"

#include <memory>
#include <vector>

#include "host/game.h"

namespace cv::host {

Slots& TheSlots() {
  static Slots slots;
  return slots;
}

namespace {
// The argument buffers, reused from call to call; the ones in use are the
// first `inUse`, taken and given back in stack order.
struct TextArgPool {
  std::vector<std::unique_ptr<char[]>> buffers;
  std::size_t inUse = 0;
};

TextArgPool& ThePool() {
  static TextArgPool pool;
  return pool;
}
}  // namespace

TextArg::TextArg() {
  TextArgPool& pool = ThePool();
  if (pool.inUse == pool.buffers.size()) {
    pool.buffers.reserve(pool.buffers.size() + 1);
    pool.buffers.emplace_back(new char[kArgBufferSize]);
  }
  data_ = pool.buffers[pool.inUse++].get();
  data_[0] = '\0';
}

TextArg::~TextArg() { --ThePool().inUse; }

bool AssignString(const CommandArgs& a, const char* text) {
  NVSEStringVarInterface* sv = TheSlots().stringVar;
  if (sv == nullptr || sv->Assign == nullptr) return false;
  return sv->Assign(a.paramInfo, a.scriptData, a.thisObj, a.containingObj, a.scriptObj, a.eventList,
                    a.result, a.opcodeOffsetPtr, text);
}

const char* GetStringVar(UInt32 id) {
  NVSEStringVarInterface* sv = TheSlots().stringVar;
  if (sv == nullptr || sv->GetString == nullptr) return nullptr;
  return sv->GetString(id);
}

Array* CreateStringMap(Script* owner) {
  NVSEArrayVarInterface* av = TheSlots().arrayVar;
  // The host reads the calling script's mod index: it must not be null.
  if (av == nullptr || av->CreateStringMap == nullptr || owner == nullptr) return nullptr;
  return av->CreateStringMap(nullptr, nullptr, 0, owner);
}

namespace {
using Element = NVSEArrayVarInterface::Element;

// A game-heap copy of a text, given back when it goes out of scope: the host
// copies the strings of the elements it is given and keeps none of ours.
class HeapText {
 public:
  explicit HeapText(std::string_view text) : block_(game::HeapCopy(text)) {}
  ~HeapText() { game::HeapFree(block_); }
  HeapText(const HeapText&) = delete;
  HeapText& operator=(const HeapText&) = delete;
  char* get() const { return block_; }

 private:
  char* block_;
};

Element StringElement(char* text) {
  Element e{};
  e.str = text;
  e.type = Element::kType_String;
  return e;
}

void Set(Array* arr, std::string_view key, const Element& value) {
  NVSEArrayVarInterface* av = TheSlots().arrayVar;
  if (av == nullptr || av->SetElement == nullptr || arr == nullptr) return;
  HeapText k(key);
  av->SetElement(arr, StringElement(k.get()), value);
}
}  // namespace

void SetNumber(Array* arr, std::string_view key, double value) {
  Element v{};
  v.num = value;
  v.type = Element::kType_Numeric;
  Set(arr, key, v);
}

void SetForm(Array* arr, std::string_view key, TESForm* form) {
  Element v{};
  v.form = form;
  v.type = Element::kType_Form;
  Set(arr, key, v);
}

void SetString(Array* arr, std::string_view key, std::string_view value) {
  HeapText v(value);
  Set(arr, key, StringElement(v.get()));
}

bool AssignArrayResult(Array* arr, double* result) {
  NVSEArrayVarInterface* av = TheSlots().arrayVar;
  if (av == nullptr || av->AssignCommandResult == nullptr) return false;
  return av->AssignCommandResult(arr, result);
}

const CommandInfo* CommandByName(const char* name) {
  NVSECommandTableInterface* ct = TheSlots().commandTable;
  if (ct == nullptr || ct->GetByName == nullptr) return nullptr;
  return ct->GetByName(name);
}

}  // namespace cv::host
