// The host's records as the 32-bit DLL sees them, against the figures the
// host publishes. A record that differs makes the host call the wrong entry
// or read the wrong field in a player's game, so every offset the plug-in or
// the simulator uses is listed here, run in the 32-bit build under Wine.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "host/nvse_records.h"

namespace {

struct Published {
  const char* field;
  std::size_t offset;  // as compiled
  std::size_t expected;
};

#define CV_FIELD(record, member, published) \
  Published { #record "::" #member, offsetof(record, member), published }

using ArrayVar = NVSEArrayVarInterface;
using Element = NVSEArrayVarInterface::Element;
using Message = NVSEMessagingInterface::Message;

const Published kOffsets[] = {
    CV_FIELD(PluginInfo, name, 0x04),
    CV_FIELD(PluginInfo, version, 0x08),
    CV_FIELD(CommandInfo, opcode, 0x08),
    CV_FIELD(CommandInfo, needsParent, 0x10),
    CV_FIELD(CommandInfo, numParams, 0x12),
    CV_FIELD(CommandInfo, params, 0x14),
    CV_FIELD(CommandInfo, execute, 0x18),
    CV_FIELD(CommandInfo, eval, 0x20),
    CV_FIELD(CommandInfo, flags, 0x24),
    CV_FIELD(NVSEInterface, runtimeVersion, 0x04),
    CV_FIELD(NVSEInterface, isEditor, 0x0C),
    CV_FIELD(NVSEInterface, RegisterCommand, 0x10),
    CV_FIELD(NVSEInterface, SetOpcodeBase, 0x14),
    CV_FIELD(NVSEInterface, QueryInterface, 0x18),
    CV_FIELD(NVSEInterface, GetPluginHandle, 0x1C),
    CV_FIELD(NVSEInterface, RegisterTypedCommand, 0x20),
    CV_FIELD(NVSEMessagingInterface, RegisterListener, 0x04),
    CV_FIELD(Message, type, 0x04),
    CV_FIELD(Message, data, 0x0C),
    CV_FIELD(NVSEScriptInterface, ExtractArgsEx, 0x08),
    CV_FIELD(NVSEStringVarInterface, GetString, 0x04),
    CV_FIELD(NVSEStringVarInterface, Assign, 0x14),
    CV_FIELD(ArrayVar, CreateArray, 0x00),
    CV_FIELD(ArrayVar, CreateStringMap, 0x04),
    CV_FIELD(ArrayVar, CreateMap, 0x08),
    CV_FIELD(ArrayVar, AssignCommandResult, 0x0C),
    CV_FIELD(ArrayVar, SetElement, 0x10),
    CV_FIELD(Element, num, 0x00),
    CV_FIELD(Element, type, 0x08),
    CV_FIELD(NVSECommandTableInterface, GetByName, 0x10),
};

const Published kSizes[] = {
    {"PluginInfo", sizeof(PluginInfo), 0x0C},
    {"ParamInfo", sizeof(ParamInfo), 0x0C},
    {"CommandInfo", sizeof(CommandInfo), 0x28},
    {"NVSEInterface", sizeof(NVSEInterface), 0x34},
    {"NVSEMessagingInterface", sizeof(NVSEMessagingInterface), 0x0C},
    {"Message", sizeof(Message), 0x10},
    {"NVSEScriptInterface", sizeof(NVSEScriptInterface), 0x20},
    {"NVSEStringVarInterface", sizeof(NVSEStringVarInterface), 0x18},
    {"NVSEArrayVarInterface", sizeof(ArrayVar), 0x34},
    {"Element", sizeof(Element), 0x10},
    {"NVSECommandTableInterface", sizeof(NVSECommandTableInterface), 0x28},
    {"CommandReturnType", sizeof(CommandReturnType), 1},
};

bool Is32Bit() { return sizeof(void*) == 4; }

TEST(HostRecords, OffsetsAndSizesAreThePublishedOnes) {
  if (!Is32Bit()) GTEST_SKIP() << "the published layout is the 32-bit one";
  for (const Published& p : kOffsets) EXPECT_EQ(p.offset, p.expected) << p.field;
  for (const Published& p : kSizes) EXPECT_EQ(p.offset, p.expected) << p.field;
}

TEST(HostRecords, AnElementReadsAsTheHostReadsIt) {
  // The host reads the value from the first eight bytes and the tag from the
  // ninth, whatever the build.
  Element e{};
  e.num = 2.5;
  e.type = Element::kType_Numeric;
  unsigned char bytes[sizeof(Element)];
  std::memcpy(bytes, &e, sizeof e);
  double num = 0;
  std::memcpy(&num, bytes, sizeof num);
  EXPECT_EQ(num, 2.5);
  EXPECT_EQ(bytes[8], Element::kType_Numeric);
}

}  // namespace
