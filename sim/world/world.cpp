#include "sim/world/world.h"

#include <cstdlib>

#include "sim/image/game_image.h"
#include "sim/world/game_world.h"

namespace cv::sim {

World::World() = default;

World::~World() {
  for (const void* block : heap_) std::free(const_cast<void*>(block));
}

Form& World::Define(UInt32 id, FormKind kind) {
  std::unique_ptr<Form>& slot = forms_[id];
  if (!slot) {
    slot = std::make_unique<Form>();
    objects_[slot.get()] = ObjectType::Form;
  }
  Form& f = *slot;
  Process* process = f.process;
  f = Form{};
  f.id = id;
  f.kind = kind;
  if (kind == FormKind::Actor) {
    if (process == nullptr) {
      processes_.push_back(std::make_unique<Process>());
      process = processes_.back().get();
      objects_[process] = ObjectType::Process;
    }
    process->activity = nullptr;
    f.process = process;
  }
  return f;
}

Form* World::Known(UInt32 id) const {
  auto it = forms_.find(id);
  return it == forms_.end() ? nullptr : it->second.get();
}

Form* World::Lookup(UInt32 id) const {
  Form* f = Known(id);
  return f != nullptr && f->present ? f : nullptr;
}

std::size_t World::PresentForms() const {
  std::size_t n = 0;
  for (const auto& [id, f] : forms_) n += f->present ? 1 : 0;
  return n;
}

Conversation* World::NewConversation(Form* subject, Form* target) {
  conversations_.push_back(std::make_unique<Conversation>(Conversation{subject, target}));
  Conversation* c = conversations_.back().get();
  objects_[c] = ObjectType::Conversation;
  return c;
}

std::optional<ObjectType> World::TypeOf(const void* object) const {
  auto it = objects_.find(object);
  if (it == objects_.end()) return std::nullopt;
  return it->second;
}

void* World::Handle(Form* form) const {
  if (layout_ == nullptr || form == nullptr) return form;
  return layout_->ObjectOf(form);
}

bool World::InImage() const { return image::Built() && !outOfImage_; }

void World::Publish(bool consoleMode) {
  if (!InImage()) return;
  if (layout_ == nullptr) layout_ = std::make_unique<GameLayout>();
  std::vector<Form*> forms;
  for (const auto& [id, f] : forms_) forms.push_back(f.get());
  layout_->Publish(forms, mods, consoleMode);
}

Form* World::AsForm(const void* object) const {
  if (layout_ != nullptr) return layout_->FormOf(object);
  return TypeOf(object) == ObjectType::Form ? static_cast<Form*>(const_cast<void*>(object))
                                            : nullptr;
}

Process* World::AsProcess(const void* object) const {
  return TypeOf(object) == ObjectType::Process ? static_cast<Process*>(const_cast<void*>(object))
                                               : nullptr;
}

Conversation* World::AsConversation(const void* object) const {
  return TypeOf(object) == ObjectType::Conversation
             ? static_cast<Conversation*>(const_cast<void*>(object))
             : nullptr;
}

UInt32 World::NewStringVar(std::string text) {
  UInt32 id = stringVars.empty() ? 1 : stringVars.rbegin()->first + 1;
  stringVars[id] = std::move(text);
  return id;
}

void* World::HeapAllocate(UInt32 size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) {
    heap_.insert(block);
    ++heapAllocations_;
  }
  return block;
}

bool World::HeapFree(const void* block) {
  if (heap_.erase(block) == 0) return false;
  std::free(const_cast<void*>(block));
  return true;
}

bool World::IsHeapBlock(const void* block) const { return heap_.count(block) != 0; }

}  // namespace cv::sim
