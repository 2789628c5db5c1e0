// The simulated game world: forms, references and actors, form lists,
// quests with their variables, conversations, the load order, host string
// variables and the game heap.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "host/nvse_records.h"

namespace cv::sim {

// The kinds of form a scenario names, by their GECK records: NPC_ (Npc),
// CREA (Creature), LVLN and LVLC (Leveled), FLST, QUST, REFR, ACHR and ACRE
// (Actor), and a form of any other record (Plain).
enum class FormKind { Plain, Quest, Npc, Creature, Leveled, FormList, Reference, Actor };

// NPCs and creatures: the actor bases, each with a model and a template.
inline bool IsActorBase(FormKind kind) {
  return kind == FormKind::Npc || kind == FormKind::Creature;
}

struct Form;
class GameLayout;

// The current activity of an actor's AI process when it is a conversation.
struct Conversation {
  Form* subject = nullptr;
  Form* target = nullptr;
};

struct Process {
  Conversation* activity = nullptr;
};

struct Form {
  UInt32 id = 0;
  FormKind kind = FormKind::Plain;
  bool present = true;                 // false after remove: look-up finds nothing
  std::string skeleton;                // actor bases: the model (the skeleton's path)
  Form* parent = nullptr;              // actor bases: the template
  bool useModel = false;               // actor bases: the "use model/animation" template flag
  std::vector<Form*> entries;          // form lists (null entries allowed)
  Form* base = nullptr;                // references and actors
  Process* process = nullptr;          // actors
  std::map<UInt32, double> variables;  // quests
};

// What a pointer handed out by the world points at.
enum class ObjectType { Form, Process, Conversation };

class World {
 public:
  World();
  World(const World&) = delete;
  World& operator=(const World&) = delete;
  ~World();

  // Creates the form, or redefines an existing one in place (the object and
  // its address stay; everything but the id is reset).
  Form& Define(UInt32 id, FormKind kind);
  // Every form ever defined, removed ones included; null when unknown.
  Form* Known(UInt32 id) const;
  // The form as the game's look-up by id finds it: null when unknown or removed.
  Form* Lookup(UInt32 id) const;
  // How many forms the look-up finds (the game's form map holds as many).
  std::size_t PresentForms() const;

  Conversation* NewConversation(Form* subject, Form* target);

  // What the host hands the plug-in for a form: the form itself, or its
  // object in the game's layout once the world is laid out in the miniature
  // game image (Windows).
  void* Handle(Form* form) const;
  // Lays the world out in the game image when there is one (before every
  // call and message, so that the plug-in reads the world as it stands).
  void Publish(bool consoleMode);
  // Whether the world goes into the game image when there is one. A world
  // kept out of it is served by the program's engine table instead, so that
  // one program can run the plug-in over both (the binding bench).
  void KeepOutOfImage() { outOfImage_ = true; }
  bool InImage() const;

  // Validity of any pointer, without touching what it points at.
  std::optional<ObjectType> TypeOf(const void* object) const;
  Form* AsForm(const void* object) const;
  Process* AsProcess(const void* object) const;
  Conversation* AsConversation(const void* object) const;

  // Load order: index = position.
  std::vector<std::string> mods;

  // Host string variables.
  std::map<UInt32, std::string> stringVars;
  UInt32 NewStringVar(std::string text);

  // The game heap. Blocks are tracked so that the host can tell a heap
  // block from any other pointer when it frees one.
  void* HeapAllocate(UInt32 size);
  bool HeapFree(const void* block);
  bool IsHeapBlock(const void* block) const;
  std::size_t HeapBlocks() const { return heap_.size(); }
  std::size_t HeapAllocations() const { return heapAllocations_; }

 private:
  std::map<UInt32, std::unique_ptr<Form>> forms_;
  std::unique_ptr<GameLayout> layout_;
  bool outOfImage_ = false;
  // Processes and conversations live as long as the world, so a pointer the
  // plug-in kept never dangles.
  std::vector<std::unique_ptr<Process>> processes_;
  std::vector<std::unique_ptr<Conversation>> conversations_;
  std::unordered_map<const void*, ObjectType> objects_;
  std::unordered_set<const void*> heap_;
  std::size_t heapAllocations_ = 0;
};

}  // namespace cv::sim
