#include "sim/world/game_world.h"

#include "sim/image/game_image.h"
#include "sim/image/game_layout.h"

namespace cv::sim {

namespace {

using namespace cv::sim::game_layout;
using image::Class;

// A form of none of the kinds the plug-in asks about: a race (TESRace, type
// 0x0C in game-facts §2.3), carrying TESForm's RTTI only.
constexpr std::uint8_t kTypePlain = 0x0C;

struct Layout {
  Class c;
  std::uint8_t type;
};

// The game class of each kind of simulated form (game-facts §2.3, §2.4): an
// actor is a character, or a creature when placed from a creature; a
// leveled character or creature carries TESForm's RTTI only, as the image
// has none of its own for it.
Layout LayoutOf(const Form& f) {
  switch (f.kind) {
    case FormKind::Quest: return {Class::Quest, kTypeQuest};
    case FormKind::Npc: return {Class::NPC, kTypeNPC};
    case FormKind::Creature: return {Class::CreatureBase, kTypeCreature};
    case FormKind::Leveled: return {Class::Form, kTypeLevCharacter};
    case FormKind::FormList: return {Class::FormList, kTypeFormList};
    case FormKind::Reference: return {Class::Reference, kTypeReference};
    case FormKind::Actor:
      if (f.base != nullptr && f.base->kind == FormKind::Creature)
        return {Class::Creature, kTypeCreatureRef};
      return {Class::Character, kTypeCharacter};
    default: return {Class::Form, kTypePlain};
  }
}

}  // namespace

void* GameLayout::ObjectOf(const Form* form) const {
  auto it = mirrors_.find(form);
  return it == mirrors_.end() ? nullptr : it->second.object;
}

Form* GameLayout::FormOf(const void* object) const {
  auto it = forms_.find(object);
  return it == forms_.end() ? nullptr : it->second;
}

void* GameLayout::Package(const Conversation* c) {
  void*& package = packages_[c];
  if (package == nullptr) package = image::New(Class::DialoguePackage, kTypePackage, 0);
  image::Put(package, kDialogueSubject, ObjectOf(c->subject));
  image::Put(package, kDialogueTarget, ObjectOf(c->target));
  return package;
}

void GameLayout::Publish(const std::vector<Form*>& forms, const std::vector<std::string>& mods,
                         bool consoleMode) {
  if (!image::Built()) return;
  // Every form first gets its object (a new one when its kind changed: the
  // old one reads as freed from then on), so that links can name any form.
  for (Form* f : forms) {
    Mirror& m = mirrors_[f];
    const Layout layout = LayoutOf(*f);
    if (m.object != nullptr && m.kind == f->kind && m.c == layout.c) continue;
    if (m.object != nullptr) {
      forms_.erase(m.object);
      image::Put<std::uint32_t>(m.object, 0, 0);
    }
    m = Mirror{image::New(layout.c, layout.type, f->id), f->kind, layout.c, nullptr, {}};
    forms_[m.object] = f;
    if (f->kind == FormKind::Actor) {
      m.process = image::New(Class::HighProcess);
      image::Put<std::uint32_t>(m.process, kProcessLevel, 0);
      image::Put(m.object, kActorProcess, m.process);
    }
  }
  std::vector<void*> present;
  for (Form* f : forms) {
    Mirror& m = mirrors_[f];
    if (f->present) present.push_back(m.object);
    switch (f->kind) {
      case FormKind::Npc:
      case FormKind::Creature:
        if (image::Get<const char*>(m.object, kBaseModelPath) == nullptr ||
            f->skeleton != image::Get<const char*>(m.object, kBaseModelPath))
          image::PutString(m.object, kBaseModelPath, f->skeleton);
        image::Put(m.object, kBaseTemplate, ObjectOf(f->parent));
        image::Put(m.object, kBaseTemplateFlags,
                   static_cast<std::uint16_t>(f->useModel ? kTemplateUseModel : 0));
        break;
      case FormKind::FormList: {
        std::vector<void*> entries;
        for (const Form* e : f->entries) entries.push_back(ObjectOf(e));
        if (entries != m.entries) {
          image::PutList(m.object, kListHead, entries);
          m.entries = std::move(entries);
        }
        break;
      }
      case FormKind::Reference:
      case FormKind::Actor:
        image::Put(m.object, kRefBaseForm, ObjectOf(f->base));
        if (m.process != nullptr) {
          // A conversation runs as the process's run-once package.
          const Conversation* c = f->process != nullptr ? f->process->activity : nullptr;
          image::Put(m.process, kProcessRunOncePackage, c != nullptr ? Package(c) : nullptr);
        }
        break;
      default: break;
    }
  }
  image::SetForms(present);
  image::SetMods(mods);
  image::SetConsoleMode(consoleMode);
}

}  // namespace cv::sim
