#include "sim/script/value/strings.h"

#include <vector>

namespace cv::sim::script {

StringId StringStore::New(std::string text, bool temporary) {
  if (host_ != nullptr && !host_->empty() && host_->rbegin()->first >= next_)
    next_ = host_->rbegin()->first + 1;
  StringId id = next_++;
  strings_[id] = Entry{std::move(text), temporary};
  if (!temporary) kept_.insert(id);
  return id;
}

const std::string* StringStore::Get(StringId id) const {
  auto it = strings_.find(id);
  return it == strings_.end() ? nullptr : &it->second.text;
}

std::string* StringStore::GetMutable(StringId id) {
  auto it = strings_.find(id);
  return it == strings_.end() ? nullptr : &it->second.text;
}

std::string_view StringStore::Text(StringId id) const {
  const std::string* s = Get(id);
  return s != nullptr ? std::string_view(*s) : std::string_view();
}

void StringStore::Keep(StringId id) {
  auto it = strings_.find(id);
  if (it == strings_.end()) return;
  it->second.temporary = false;
  kept_.insert(id);
}

void StringStore::Destroy(StringId id) {
  strings_.erase(id);
  kept_.erase(id);
  if (host_ != nullptr) host_->erase(id);
}

void StringStore::PushToHost() {
  if (host_ == nullptr) return;
  for (StringId id : kept_) (*host_)[id] = strings_[id].text;
}

void StringStore::PullFromHost() {
  if (host_ == nullptr) return;
  for (StringId id : kept_) {
    auto it = host_->find(id);
    if (it != host_->end()) strings_[id].text = it->second;
  }
}

void StringStore::Clean() {
  for (auto it = strings_.begin(); it != strings_.end();)
    it = it->second.temporary ? strings_.erase(it) : std::next(it);
}

void StringStore::DropTemporariesFrom(StringId first, StringId spare) {
  for (auto it = strings_.lower_bound(first); it != strings_.end();)
    it = it->second.temporary && it->first != spare ? strings_.erase(it) : std::next(it);
}

StringStore::Saved StringStore::Save() const {
  Saved s;
  s.next = next_;
  for (const auto& [id, e] : strings_)
    if (!e.temporary) s.strings[id] = e.text;
  return s;
}

void StringStore::Load(const Saved& s) {
  strings_.clear();
  kept_.clear();
  for (const auto& [id, text] : s.strings) {
    strings_[id] = Entry{text, false};
    kept_.insert(id);
  }
  next_ = s.next;
}

void StringStore::Reset() {
  strings_.clear();
  kept_.clear();
  next_ = 1;
}

}  // namespace cv::sim::script
