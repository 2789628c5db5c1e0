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
void Set(Array* arr, std::string_view key, const NVSEArrayVarInterface::Element& value) {
  NVSEArrayVarInterface* av = TheSlots().arrayVar;
  if (av == nullptr || av->SetElement == nullptr || arr == nullptr) return;
  NVSEArrayVarInterface::Element k{};
  k.type = NVSEArrayVarInterface::Element::kType_String;
  k.str = game::HeapCopy(key);
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
