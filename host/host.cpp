#include "host/host.h"

#include "host/game.h"

namespace cv::host {

Slots& TheSlots() {
  static Slots slots;
  return slots;
}

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
  if (av == nullptr || av->CreateStringMap == nullptr) return nullptr;
  return av->CreateStringMap(nullptr, nullptr, 0, owner);
}

namespace {
using Element = NVSEArrayVarInterface::Element;

// The host takes over the strings of an element it is given; a string value
// that never reaches it goes back to the game heap.
void Set(Array* arr, std::string_view key, const Element& value) {
  const char* valueText = value.type == Element::kType_String ? value.str : nullptr;
  NVSEArrayVarInterface* av = TheSlots().arrayVar;
  if (av == nullptr || av->SetElement == nullptr || arr == nullptr) {
    game::HeapFree(valueText);
    return;
  }
  Element k{};
  k.type = Element::kType_String;
  try {
    k.str = game::HeapCopy(key);
  } catch (...) {
    game::HeapFree(valueText);
    throw;
  }
  av->SetElement(arr, k, value);
}
}  // namespace

void SetNumber(Array* arr, std::string_view key, double value) {
  NVSEArrayVarInterface::Element v{};
  v.type = NVSEArrayVarInterface::Element::kType_Numeric;
  v.num = value;
  Set(arr, key, v);
}

void SetForm(Array* arr, std::string_view key, TESForm* form) {
  NVSEArrayVarInterface::Element v{};
  v.type = NVSEArrayVarInterface::Element::kType_Form;
  v.form = form;
  Set(arr, key, v);
}

void SetString(Array* arr, std::string_view key, std::string_view value) {
  NVSEArrayVarInterface::Element v{};
  v.type = NVSEArrayVarInterface::Element::kType_String;
  v.str = game::HeapCopy(value);
  Set(arr, key, v);
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
