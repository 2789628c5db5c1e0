// The game binding's tests against the miniature FalloutNV image: the world
// they read, built once in the game's layout, and their fixture.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host/game_binding.h"
#include "sim/image/game_image.h"
#include "sim/image/game_layout.h"

namespace cv::binding_test {

// The objects are laid out as the game lays them out, from the simulator's
// own record of the game's layout, never from the binding's constants.
using namespace cv::sim::game_layout;
namespace image = cv::sim::image;
using image::Class;

// What the image's console printed, and its heap handed out and took back.
extern std::vector<std::string> g_printed;
extern std::vector<void*> g_allocated;
extern std::vector<void*> g_freed;

inline TESForm* F(void* p) { return static_cast<TESForm*>(p); }
inline TESObjectREFR* R(void* p) { return static_cast<TESObjectREFR*>(p); }

// The world every test reads: built once, in the game's layout.
struct World {
  void* npc = nullptr;        // 0x100, own skeleton
  void* usesModel = nullptr;  // 0x101, takes its model from npc
  void* ownModel = nullptr;   // 0x102, template npc, flag off
  void* creature = nullptr;   // 0x103, creature base
  void* leveled = nullptr;    // 0x104, a leveled character list
  void* onLeveled = nullptr;  // 0x105, template: the leveled list, flag on
  void* cycleA = nullptr;     // 0x106 and 0x107 take their models from each other
  void* cycleB = nullptr;
  void* toCreature = nullptr;     // 0x108, an NPC whose template is a creature
  void* childCreature = nullptr;  // 0x109, template: creature
  void* ref = nullptr;            // 0x200, a plain reference of npc
  void* actor = nullptr;          // 0x201, a character of npc
  void* creatureRef = nullptr;    // 0x202, a creature of creature
  void* player = nullptr;         // 0x14, the player
  void* list = nullptr;           // 0x300: npc, null, ref
  void* emptyList = nullptr;      // 0x301
  void* loopList = nullptr;       // 0x302, its second node points back at the first
  void* quest = nullptr;          // 0x400
  void* talk = nullptr;           // 0x500, a dialogue package: actor talks to player
  void* oddTalk = nullptr;        // 0x503, a dialogue package with another type byte
  void* plainPackage = nullptr;   // 0x501
  void* processes[4] = {};        // High, MiddleHigh, MiddleLow, Low
};

World& W();
// The binding's table over the world.
const CVEngineInterface& E();

class GameBinding : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(W().npc, nullptr) << "the miniature image could not be built";
    ASSERT_NE(cv::host::GameEngine(), nullptr);
  }
  void TearDown() override { EXPECT_EQ(image::TakeErrors(), std::vector<std::string>{}); }
};

}  // namespace cv::binding_test
