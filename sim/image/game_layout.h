// The real game's layout as the miniature game image builds it: FalloutNV.exe
// 1.4.0.525, written down here from the project's game-facts notes
// (shared/game-facts.md, the section named beside each group) on its own,
// not taken from the plug-in's binding. The image must agree with the game,
// not with the binding's reading of it: a value the binding got wrong then
// shows as a failing binding test instead of being mirrored here.
#pragma once

#include <cstdint>

namespace cv::sim::game_layout {

using Addr = std::uint32_t;

// §0: the standard exe's runtime version (the NoGore one is 0x040020D1).
inline constexpr std::uint32_t kRuntimeVersion = 0x040020D0;

// §0: absolute addresses for image base 0x00400000, never relocated. §7: one
// range 0x00400000-0x01300000 holds every published address.
inline constexpr Addr kImageBase = 0x00400000;
inline constexpr Addr kImageSpan = 0x01300000 - kImageBase;

// §2.1 Global addresses and routines.
inline constexpr Addr kHeapAllocate = 0x00401000;      // cdecl (UInt32 size) -> void*
inline constexpr Addr kHeapFree = 0x00401030;          // cdecl (void* ptr)
inline constexpr Addr kConsoleSingleton = 0x0071B160;  // cdecl (bool canCreateNew)
inline constexpr Addr kConsolePrint = 0x0071D0A0;      // thiscall (fmt, va_list)
inline constexpr Addr kFormMapPtr = 0x011C54C0;        // NiTPointerMap<TESForm>*
inline constexpr Addr kDataHandlerPtr = 0x011C3F2C;    // DataHandler*
inline constexpr Addr kConsoleOpenByte = 0x011DEA2E;   // UInt8 console menu open
inline constexpr Addr kTlsIndexVar = 0x0126FD98;       // UInt32 the game's TLS index
inline constexpr Addr kTlsConsoleFlag = 0x268;         // byte in the thread's TLS block
// §2.5 IsConsoleMode: the block is TEB->ThreadLocalStoragePointer (fs:[0x2C])
// indexed by the TLS index.
inline constexpr Addr kTebTlsPointer = 0x2C;

// §2.2.1 TESForm: typeID +0x04, refID +0x0C.
inline constexpr Addr kFormTypeID = 0x04;
inline constexpr Addr kFormRefID = 0x0C;
// §2.2.2 TESObjectREFR: baseForm +0x20. §2.2.3 MobileObject: baseProcess +0x68.
inline constexpr Addr kRefBaseForm = 0x20;
inline constexpr Addr kActorProcess = 0x68;
// §2.2.7 TESActorBase: templateFlags +0x4A (bit 0x40: use the template's
// model), templateActor +0x54; TESModel.nifPath char* +0xE0.
inline constexpr Addr kBaseTemplateFlags = 0x4A;
inline constexpr std::uint16_t kTemplateUseModel = 0x40;
inline constexpr Addr kBaseTemplate = 0x54;
inline constexpr Addr kBaseModelPath = 0xE0;
inline constexpr Addr kBaseModelComponent = 0xDC;  // TESModel inside TESActorBase
// §2.2.5 tList node: data +0x00, next +0x04, 8 bytes. §2.2.6 BGSListForm:
// the list's embedded head at +0x18.
inline constexpr Addr kNodeData = 0x00;
inline constexpr Addr kNodeNext = 0x04;
inline constexpr Addr kNodeSize = 0x08;
inline constexpr Addr kListHead = 0x18;
// §2.2.8 DataHandler: loadedModCount +0x218, ModInfo* loadedMods[0xFF]
// +0x21C; ModInfo: the file name at +0x20 (a buffer of 0x100 or 0x104),
// its load-order index as a byte at +0x40C.
inline constexpr Addr kDataModCount = 0x218;
inline constexpr Addr kDataMods = 0x21C;
inline constexpr std::uint32_t kMaxMods = 0xFF;
inline constexpr Addr kModName = 0x20;
inline constexpr std::uint32_t kModNameMax = 0x100;
inline constexpr Addr kModIndex = 0x40C;
inline constexpr Addr kModInfoSize = 0x410;
// §2.2.10 BaseProcess: processLevel +0x28 (0 High ... 3 Low); the running
// package is virtual slot +0x27C; middle-high and high processes keep the
// run-once package's TESPackage* at +0xE4; every process its current
// package's at +0x04.
inline constexpr Addr kProcessCurrentPackage = 0x04;
inline constexpr Addr kProcessLevel = 0x28;
inline constexpr Addr kProcessRunningPackageSlot = 0x27C;
inline constexpr Addr kProcessRunOncePackage = 0xE4;
// §2.2.11 DialoguePackage: subject +0xB0, target +0xB4.
inline constexpr Addr kDialogueSubject = 0xB0;
inline constexpr Addr kDialogueTarget = 0xB4;

// §2.3 Form-type codes.
inline constexpr std::uint8_t kTypeNPC = 0x2A;
inline constexpr std::uint8_t kTypeCreature = 0x2B;
inline constexpr std::uint8_t kTypeLevCharacter = 0x2D;
inline constexpr std::uint8_t kTypeReference = 0x3A;
inline constexpr std::uint8_t kTypeCharacter = 0x3B;
inline constexpr std::uint8_t kTypeCreatureRef = 0x3C;
inline constexpr std::uint8_t kTypeQuest = 0x47;
inline constexpr std::uint8_t kTypePackage = 0x49;
inline constexpr std::uint8_t kTypeFormList = 0x55;

// §2.4 RTTI type descriptors.
inline constexpr Addr kTD_TESForm = 0x01183028;
inline constexpr Addr kTD_TESObjectREFR = 0x011841CC;
inline constexpr Addr kTD_MobileObject = 0x01184920;
inline constexpr Addr kTD_Actor = 0x011846D4;
inline constexpr Addr kTD_Character = 0x011A0F14;
inline constexpr Addr kTD_Creature = 0x011A106C;
inline constexpr Addr kTD_PlayerCharacter = 0x0118A23C;
inline constexpr Addr kTD_TESActorBase = 0x011846E8;
inline constexpr Addr kTD_TESNPC = 0x01183A1C;
inline constexpr Addr kTD_TESCreature = 0x01183A00;
inline constexpr Addr kTD_TESModel = 0x011831E8;
inline constexpr Addr kTD_BGSListForm = 0x011863D4;
inline constexpr Addr kTD_TESQuest = 0x01186500;
inline constexpr Addr kTD_TESPackage = 0x011846A0;
inline constexpr Addr kTD_DialoguePackage = 0x01199C3C;
inline constexpr Addr kTD_BaseProcess = 0x0118A6B8;
inline constexpr Addr kTD_LowProcess = 0x011A364C;
inline constexpr Addr kTD_MiddleLowProcess = 0x011A3668;
inline constexpr Addr kTD_MiddleHighProcess = 0x0118C64C;
inline constexpr Addr kTD_HighProcess = 0x0118A6D4;

// §2.4 vtables.
inline constexpr Addr kVT_TESForm = 0x0101C794;
inline constexpr Addr kVT_TESObjectREFR = 0x0102F55C;
inline constexpr Addr kVT_Character = 0x01086A6C;
inline constexpr Addr kVT_Creature = 0x010870AC;
inline constexpr Addr kVT_PlayerCharacter = 0x0108AA3C;
inline constexpr Addr kVT_TESNPC = 0x0104A2F4;
inline constexpr Addr kVT_TESCreature = 0x01048F5C;
inline constexpr Addr kVT_BGSListForm = 0x010334B4;
inline constexpr Addr kVT_TESQuest = 0x0104AC44;
inline constexpr Addr kVT_TESPackage = 0x0106847C;
inline constexpr Addr kVT_DialoguePackage = 0x01092F6C;
inline constexpr Addr kVT_LowProcess = 0x010886E4;
inline constexpr Addr kVT_MiddleLowProcess = 0x01089BCC;
inline constexpr Addr kVT_MiddleHighProcess = 0x0108904C;
inline constexpr Addr kVT_HighProcess = 0x01087864;

// §3d MSVC x86 RTTI records: the locator pointer at vtable - 4; locator
// signature +0x00, offset +0x04, TypeDescriptor* +0x0C, hierarchy +0x10;
// TypeDescriptor name +0x08; hierarchy numBaseClasses +0x08, BaseClassArray*
// +0x0C; base class descriptor TypeDescriptor* +0x00, mdisp +0x08, attributes
// up to +0x14.
inline constexpr Addr kVtableLocator = 4;
inline constexpr Addr kLocatorSignature = 0x00;
inline constexpr Addr kLocatorOffset = 0x04;
inline constexpr Addr kLocatorType = 0x0C;
inline constexpr Addr kLocatorHierarchy = 0x10;
inline constexpr Addr kLocatorSize = 0x14;
inline constexpr Addr kTypeName = 0x08;
inline constexpr Addr kHierarchyCount = 0x08;
inline constexpr Addr kHierarchyBases = 0x0C;
inline constexpr Addr kHierarchySize = 0x10;
inline constexpr Addr kBaseType = 0x00;
inline constexpr Addr kBaseDisplacement = 0x08;
inline constexpr Addr kBaseSize = 0x18;

}  // namespace cv::sim::game_layout
