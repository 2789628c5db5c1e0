// Every address, offset, form-type code and RTTI record of FalloutNV.exe
// 1.4.0.525 (standard, not NoGore) that the game binding relies on. Nothing
// here may be changed without the fact it comes from: each comment names the
// section and row of the project's game-facts notes (shared/game-facts.md).
// A wrong data address or offset never crashes the game (every read is
// checked first, see memory.h): the operation that uses it just answers
// "nothing". The code addresses (the heap, the console and the process's
// package slot) can only be checked to lie in the game's code: a wrong one
// would call into the middle of another function.
#pragma once

#include <cstdint>

namespace cv::fnv {

using Addr = std::uint32_t;

// §0 and §1.1 NVSEInterface.runtimeVersion: the standard 1.4.0.525 exe. The
// NoGore exe (0x040020D1) moves addresses and is refused.
inline constexpr std::uint32_t kRuntimeVersion = 0x040020D0;

// §0: "all addresses are absolute virtual addresses for image base
// 0x00400000; the exe is not relocated".
inline constexpr Addr kImageBase = 0x00400000;

// §2.1 Global addresses and routines.
inline constexpr Addr kFormMapPtr = 0x011C54C0;        // NiTPointerMap<TESForm>* (form map)
inline constexpr Addr kDataHandlerPtr = 0x011C3F2C;    // DataHandler**
inline constexpr Addr kHeapAllocate = 0x00401000;      // cdecl void*(UInt32 size)
inline constexpr Addr kHeapFree = 0x00401030;          // cdecl void(void* block)
inline constexpr Addr kConsoleSingleton = 0x0071B160;  // cdecl ConsoleManager*(bool create)
inline constexpr Addr kConsolePrint = 0x0071D0A0;      // thiscall (mgr, fmt, va_list)
inline constexpr Addr kConsoleOpenByte = 0x011DEA2E;   // UInt8 "console menu open"
inline constexpr Addr kTlsIndexVar = 0x0126FD98;       // UInt32 the game's TLS index
// §2.1 "Executing from console" flag, and §2.5 IsConsoleMode: the byte at
// +0x268 of the thread's block, found through TEB->ThreadLocalStoragePointer
// (fs:[0x2C]) indexed by the game's TLS index.
inline constexpr Addr kTlsConsoleFlag = 0x268;
inline constexpr Addr kTebTlsPointer = 0x2C;

// §2.2.1 TESForm: vtable +0x00, typeID +0x04, refID +0x0C; sizeof 0x18.
inline constexpr Addr kFormTypeID = 0x04;
inline constexpr Addr kFormRefID = 0x0C;
inline constexpr Addr kFormSize = 0x18;

// §2.2.2 TESObjectREFR: baseForm +0x20; §3d step 3: cover refs to +0x24.
inline constexpr Addr kRefBaseForm = 0x20;
inline constexpr Addr kRefReadSpan = 0x24;
// §2.2.3 MobileObject / Actor: baseProcess +0x68; §3d step 3: actors +0x6C.
inline constexpr Addr kActorProcess = 0x68;
inline constexpr Addr kActorReadSpan = 0x6C;

// §2.2.7 TESActorBase: templateFlags +0x4A (bit 0x40 "use template's
// model"), templateActor +0x54, TESModel.nifPath String: char* +0xE0,
// UInt16 length +0xE4; §3d step 3: actor bases to +0xE8.
inline constexpr Addr kBaseTemplateFlags = 0x4A;
inline constexpr std::uint16_t kTemplateUseModel = 0x40;
inline constexpr Addr kBaseTemplate = 0x54;
inline constexpr Addr kBaseModelPath = 0xE0;
inline constexpr Addr kBaseModelLength = 0xE4;
inline constexpr Addr kBaseReadSpan = 0xE8;

// §2.2.5 tList: the first node is embedded (data +0x00, next +0x04); further
// nodes have the same 8-byte shape. §2.2.6 BGSListForm: the list at +0x18;
// §3d step 3: form lists to +0x24.
inline constexpr Addr kNodeData = 0x00;
inline constexpr Addr kNodeNext = 0x04;
inline constexpr Addr kNodeSize = 0x08;
inline constexpr Addr kListHead = 0x18;
inline constexpr Addr kListReadSpan = 0x24;

// §2.2.8 DataHandler: loadedModCount +0x218, ModInfo* loadedMods[0xFF] at
// +0x21C; ModInfo: name at +0x20, read as a C string of at most 0x100 bytes
// (the sources disagree on 0x100 and 0x104; §5).
inline constexpr Addr kDataModCount = 0x218;
inline constexpr Addr kDataMods = 0x21C;
inline constexpr std::uint32_t kMaxMods = 0xFF;
inline constexpr Addr kModName = 0x20;
inline constexpr std::uint32_t kModNameMax = 0x100;

// §2.2.9 NiTPointerMap: numBuckets +0x04, buckets +0x08, numItems +0x0C; entries: next
// +0x00, key +0x04, data +0x08; bucket = refID % numBuckets.
inline constexpr Addr kMapBucketCount = 0x04;
inline constexpr Addr kMapBuckets = 0x08;
inline constexpr Addr kMapItemCount = 0x0C;  // numItems
inline constexpr Addr kMapSize = 0x10;
inline constexpr Addr kEntryNext = 0x00;
inline constexpr Addr kEntryKey = 0x04;
inline constexpr Addr kEntryData = 0x08;
inline constexpr Addr kEntrySize = 0x0C;

// §2.2.10 BaseProcess: processLevel +0x28 (0 High ... 3 Low); §3d step 3:
// processes to +0x2C. The running package: virtual slot +0x27C (thiscall,
// no arguments), declared on BaseProcess (§3c "recommended").
inline constexpr Addr kProcessLevel = 0x28;
inline constexpr std::uint32_t kLowestProcessLevel = 3;
inline constexpr Addr kProcessReadSpan = 0x2C;
inline constexpr Addr kProcessRunningPackageSlot = 0x27C;

// §2.2.11 DialoguePackage: subject +0xB0, target +0xB4; §3d step 3: to +0xB8.
inline constexpr Addr kDialogueSubject = 0xB0;
inline constexpr Addr kDialogueTarget = 0xB4;
inline constexpr Addr kDialogueReadSpan = 0xB8;

// §2.3 Form-type codes (TESForm.typeID).
inline constexpr std::uint8_t kTypeNPC = 0x2A;
inline constexpr std::uint8_t kTypeCreature = 0x2B;
inline constexpr std::uint8_t kTypeLevCreature = 0x2C;
inline constexpr std::uint8_t kTypeLevCharacter = 0x2D;
inline constexpr std::uint8_t kTypeReference = 0x3A;       // first reference code
inline constexpr std::uint8_t kTypeCharacter = 0x3B;       // ACHR
inline constexpr std::uint8_t kTypeCreatureRef = 0x3C;     // ACRE
inline constexpr std::uint8_t kTypeLastProjectile = 0x40;  // 0x3A-0x40 are references
inline constexpr std::uint8_t kTypeQuest = 0x47;
inline constexpr std::uint8_t kTypePackage = 0x49;
inline constexpr std::uint8_t kTypeFormList = 0x55;
inline constexpr std::uint8_t kTypeBeamProjectile = 0x69;  // also a reference

// §2.4 RTTI type descriptors of the classes the casts ask for.
inline constexpr Addr kTD_TESForm = 0x01183028;
inline constexpr Addr kTD_TESObjectREFR = 0x011841CC;
inline constexpr Addr kTD_Actor = 0x011846D4;
inline constexpr Addr kTD_TESActorBase = 0x011846E8;
inline constexpr Addr kTD_TESNPC = 0x01183A1C;
inline constexpr Addr kTD_TESCreature = 0x01183A00;
inline constexpr Addr kTD_BGSListForm = 0x011863D4;
inline constexpr Addr kTD_TESQuest = 0x01186500;
inline constexpr Addr kTD_TESPackage = 0x011846A0;
inline constexpr Addr kTD_DialoguePackage = 0x01199C3C;
inline constexpr Addr kTD_BaseProcess = 0x0118A6B8;

// §2.4 / §2 "Chosen at load": the image is the game's when the type
// descriptor at TESForm's address names this class. §3d: a type
// descriptor's name is the class's decorated name, ".?AV" + class + "@@".
inline constexpr const char kTESFormName[] = ".?AVTESForm@@";
inline constexpr const char kTESObjectREFRName[] = ".?AVTESObjectREFR@@";
inline constexpr const char kActorName[] = ".?AVActor@@";
inline constexpr const char kTESActorBaseName[] = ".?AVTESActorBase@@";
inline constexpr const char kTESNPCName[] = ".?AVTESNPC@@";
inline constexpr const char kTESCreatureName[] = ".?AVTESCreature@@";
inline constexpr const char kBGSListFormName[] = ".?AVBGSListForm@@";
inline constexpr const char kTESQuestName[] = ".?AVTESQuest@@";
inline constexpr const char kTESPackageName[] = ".?AVTESPackage@@";
inline constexpr const char kDialoguePackageName[] = ".?AVDialoguePackage@@";
inline constexpr const char kBaseProcessName[] = ".?AVBaseProcess@@";

// §3d MSVC x86 RTTI records.
inline constexpr Addr kVtableLocator = 4;  // the locator pointer sits at vtable - 4
inline constexpr Addr kLocatorSignature = 0x00;
inline constexpr Addr kLocatorOffset = 0x04;
inline constexpr Addr kLocatorType = 0x0C;
inline constexpr Addr kLocatorHierarchy = 0x10;
inline constexpr Addr kLocatorSize = 0x14;
inline constexpr Addr kTypeName = 0x08;
inline constexpr std::uint32_t kTypeNameMax = 128;  // §3d step 5: "a NUL within about 128 bytes"
inline constexpr Addr kHierarchyCount = 0x08;
inline constexpr Addr kHierarchyBases = 0x0C;
inline constexpr Addr kHierarchySize = 0x10;
inline constexpr std::uint32_t kMaxBaseClasses = 64;  // §3d step 6: "cap numBaseClasses at 64"
inline constexpr Addr kBaseType = 0x00;
inline constexpr Addr kBaseDisplacement = 0x08;  // mdisp: 0 for the classes at offset 0
inline constexpr Addr kBaseSize = 0x18;
// §3d step 1: nothing below this address is an object.
inline constexpr Addr kLowestObject = 0x10000;

}  // namespace cv::fnv
