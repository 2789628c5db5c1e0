// The miniature game image's section flags and protections for each
// executable it models (see game_image_sections.h).
#include <windows.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "sim/image/game_image_sections.h"
#include "sim/image/game_layout.h"

namespace cv::sim::image {

namespace {

using game_layout::kImageBase;

template <class T>
T* At(SectionAddr a) {
  return reinterpret_cast<T*>(static_cast<std::uintptr_t>(a));
}

constexpr SectionAddr kPage = 0x1000;
constexpr DWORD kRead = IMAGE_SCN_MEM_READ;
constexpr DWORD kWrite = IMAGE_SCN_MEM_WRITE;
constexpr DWORD kCode = IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE;

// The program's own section header of this name, or null.
IMAGE_SECTION_HEADER* FindSection(IMAGE_NT_HEADERS32& nt, const char* name) {
  IMAGE_SECTION_HEADER* table = IMAGE_FIRST_SECTION(&nt);
  for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i)
    if (std::strncmp(reinterpret_cast<const char*>(table[i].Name), name, IMAGE_SIZEOF_SHORT_NAME) ==
        0)
      return &table[i];
  return nullptr;
}

void SetFlags(IMAGE_SECTION_HEADER& s, DWORD flags) {
  s.Characteristics &= ~(kRead | kWrite | kCode);
  s.Characteristics |= flags;
}

// A header for the extra section, before code: the code range's first page,
// flagged code or, for code-in-data, readable and writable data.
bool InsertExtra(IMAGE_NT_HEADERS32& nt, IMAGE_SECTION_HEADER* code, bool data, std::string& why) {
  IMAGE_SECTION_HEADER* table = IMAGE_FIRST_SECTION(&nt);
  IMAGE_SECTION_HEADER* end = table + nt.FileHeader.NumberOfSections;
  const auto room = reinterpret_cast<std::uintptr_t>(end + 1);
  if (room > kImageBase + nt.OptionalHeader.SizeOfHeaders || room > kImageBase + kPage) {
    why = "no room in the header for another section";
    return false;
  }
  std::memmove(code + 1, code, static_cast<std::size_t>(end - code) * sizeof *code);
  ++nt.FileHeader.NumberOfSections;
  IMAGE_SECTION_HEADER& extra = *code;
  IMAGE_SECTION_HEADER& text = *(code + 1);
  std::memset(extra.Name, 0, sizeof extra.Name);
  std::memcpy(extra.Name, ".bind", 5);
  extra.Misc.VirtualSize = kExtraEnd - kTextStart;
  SetFlags(extra, kRead | kWrite | (data ? IMAGE_SCN_CNT_INITIALIZED_DATA : kCode));
  text.VirtualAddress += kExtraEnd - kTextStart;
  text.Misc.VirtualSize -= kExtraEnd - kTextStart;
  return true;
}

bool Protect(SectionAddr begin, SectionAddr end, DWORD protection) {
  DWORD old = 0;
  return ::VirtualProtect(At<void>(begin), end - begin, protection, &old) != 0;
}

}  // namespace

bool ChosenVariant(Variant& variant, std::string& why) {
  variant = {};
  const char* value = std::getenv(kVariantVariable);
  const std::string v = value != nullptr ? value : "";
  if (v.empty()) return true;
  if (v == "rdata-writable") {
    variant.rdataWritable = true;
  } else if (v == "text-writable") {
    variant.textWritable = true;
  } else if (v == "extra-section") {
    variant.extraSection = true;
  } else if (v == "code-in-data") {
    variant.extraSection = true;
    variant.codeInData = true;
  } else if (v.rfind("broken-", 0) == 0 && v.size() > 7) {
    variant.brokenClass = v.substr(7);
  } else {
    why = std::string(kVariantVariable) + "=" + v + " names no executable the image models";
    return false;
  }
  return true;
}

bool ApplySections(const Variant& variant, std::string& why) {
  auto& dos = *At<IMAGE_DOS_HEADER>(kImageBase);
  auto& nt = *At<IMAGE_NT_HEADERS32>(kImageBase + static_cast<SectionAddr>(dos.e_lfanew));
  DWORD headerProtection = 0;
  if (!::VirtualProtect(At<void>(kImageBase), kPage, PAGE_READWRITE, &headerProtection)) {
    why = "the header cannot be written";
    return false;
  }
  IMAGE_SECTION_HEADER* code = FindSection(nt, ".fnvcode");
  IMAGE_SECTION_HEADER* rdata = FindSection(nt, ".fnvrdat");
  IMAGE_SECTION_HEADER* data = FindSection(nt, ".fnvdata");
  bool ok = code != nullptr && rdata != nullptr && data != nullptr;
  if (!ok) why = "the game's sections are not in the header";
  if (ok) {
    SetFlags(*code, kRead | kCode | (variant.textWritable ? kWrite : 0));
    SetFlags(*rdata, kRead | (variant.rdataWritable ? kWrite : 0));
    SetFlags(*data, kRead | kWrite);
    if (variant.extraSection) ok = InsertExtra(nt, code, variant.codeInData, why);
  }
  DWORD unused = 0;
  ::VirtualProtect(At<void>(kImageBase), kPage, headerProtection, &unused);
  if (!ok) return false;

  const SectionAddr codeStart = variant.extraSection ? kExtraEnd : kTextStart;
  ok = (!variant.extraSection || Protect(kTextStart, kExtraEnd, PAGE_EXECUTE_READWRITE)) &&
       Protect(codeStart, kTextEnd,
               variant.textWritable ? PAGE_EXECUTE_READWRITE : PAGE_EXECUTE_READ) &&
       Protect(kRdataStart, kRdataEnd, variant.rdataWritable ? PAGE_READWRITE : PAGE_READONLY) &&
       Protect(kDataStart, kDataEnd, PAGE_READWRITE);
  if (!ok) why = "the sections' pages cannot be protected as their flags say";
  return ok;
}

}  // namespace cv::sim::image
