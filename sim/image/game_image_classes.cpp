#include "sim/image/game_image_classes.h"

#include "sim/image/game_layout.h"

namespace cv::sim::image {

using namespace cv::sim::game_layout;

// Every class with its bases, most derived first, as MSVC lists them. The
// actor bases also list their TESModel part, which does not sit at offset 0.
const std::vector<ClassInfo>& Classes() {
  static const std::vector<ClassInfo> classes = {
      {Class::Form, kTD_TESForm, ".?AVTESForm@@", kVT_TESForm, {{kTD_TESForm, 0}}},
      {Class::Reference,
       kTD_TESObjectREFR,
       ".?AVTESObjectREFR@@",
       kVT_TESObjectREFR,
       {{kTD_TESObjectREFR, 0}, {kTD_TESForm, 0}}},
      {Class::Character,
       kTD_Character,
       ".?AVCharacter@@",
       kVT_Character,
       {{kTD_Character, 0},
        {kTD_Actor, 0},
        {kTD_MobileObject, 0},
        {kTD_TESObjectREFR, 0},
        {kTD_TESForm, 0}}},
      {Class::Creature,
       kTD_Creature,
       ".?AVCreature@@",
       kVT_Creature,
       {{kTD_Creature, 0},
        {kTD_Actor, 0},
        {kTD_MobileObject, 0},
        {kTD_TESObjectREFR, 0},
        {kTD_TESForm, 0}}},
      {Class::PlayerCharacter,
       kTD_PlayerCharacter,
       ".?AVPlayerCharacter@@",
       kVT_PlayerCharacter,
       {{kTD_PlayerCharacter, 0},
        {kTD_Character, 0},
        {kTD_Actor, 0},
        {kTD_MobileObject, 0},
        {kTD_TESObjectREFR, 0},
        {kTD_TESForm, 0}}},
      {Class::NPC,
       kTD_TESNPC,
       ".?AVTESNPC@@",
       kVT_TESNPC,
       {{kTD_TESNPC, 0},
        {kTD_TESActorBase, 0},
        {kTD_TESForm, 0},
        {kTD_TESModel, kBaseModelComponent}}},
      {Class::CreatureBase,
       kTD_TESCreature,
       ".?AVTESCreature@@",
       kVT_TESCreature,
       {{kTD_TESCreature, 0},
        {kTD_TESActorBase, 0},
        {kTD_TESForm, 0},
        {kTD_TESModel, kBaseModelComponent}}},
      {Class::FormList,
       kTD_BGSListForm,
       ".?AVBGSListForm@@",
       kVT_BGSListForm,
       {{kTD_BGSListForm, 0}, {kTD_TESForm, 0}}},
      {Class::Quest,
       kTD_TESQuest,
       ".?AVTESQuest@@",
       kVT_TESQuest,
       {{kTD_TESQuest, 0}, {kTD_TESForm, 0}}},
      {Class::Package,
       kTD_TESPackage,
       ".?AVTESPackage@@",
       kVT_TESPackage,
       {{kTD_TESPackage, 0}, {kTD_TESForm, 0}}},
      {Class::DialoguePackage,
       kTD_DialoguePackage,
       ".?AVDialoguePackage@@",
       kVT_DialoguePackage,
       {{kTD_DialoguePackage, 0}, {kTD_TESPackage, 0}, {kTD_TESForm, 0}}},
      {Class::HighProcess,
       kTD_HighProcess,
       ".?AVHighProcess@@",
       kVT_HighProcess,
       {{kTD_HighProcess, 0},
        {kTD_MiddleHighProcess, 0},
        {kTD_MiddleLowProcess, 0},
        {kTD_LowProcess, 0},
        {kTD_BaseProcess, 0}}},
      {Class::MiddleHighProcess,
       kTD_MiddleHighProcess,
       ".?AVMiddleHighProcess@@",
       kVT_MiddleHighProcess,
       {{kTD_MiddleHighProcess, 0},
        {kTD_MiddleLowProcess, 0},
        {kTD_LowProcess, 0},
        {kTD_BaseProcess, 0}}},
      {Class::MiddleLowProcess,
       kTD_MiddleLowProcess,
       ".?AVMiddleLowProcess@@",
       kVT_MiddleLowProcess,
       {{kTD_MiddleLowProcess, 0}, {kTD_LowProcess, 0}, {kTD_BaseProcess, 0}}},
      {Class::LowProcess,
       kTD_LowProcess,
       ".?AVLowProcess@@",
       kVT_LowProcess,
       {{kTD_LowProcess, 0}, {kTD_BaseProcess, 0}}},
  };
  return classes;
}

// The actor bases' TESModel part (game-facts §3a: TESActorBase + 0xDC).
std::vector<std::uint32_t> PartsOf(Class c) {
  if (c == Class::NPC || c == Class::CreatureBase) return {kBaseModelComponent};
  return {};
}

// Type descriptors of classes that only appear as bases.
const std::vector<std::pair<Addr, const char*>>& AbstractTypes() {
  static const std::vector<std::pair<Addr, const char*>> types = {
      {kTD_MobileObject, ".?AVMobileObject@@"}, {kTD_Actor, ".?AVActor@@"},
      {kTD_TESActorBase, ".?AVTESActorBase@@"}, {kTD_TESModel, ".?AVTESModel@@"},
      {kTD_BaseProcess, ".?AVBaseProcess@@"},
  };
  return types;
}

}  // namespace cv::sim::image
