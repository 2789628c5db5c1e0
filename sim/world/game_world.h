// The world laid out in the game's own layout inside the miniature game
// image (Windows builds): every form, reference, actor with its process and
// running dialogue package, actor base, form list and quest gets an object
// as FalloutNV lays it out, and the host hands the plug-in those objects.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "sim/image/game_image.h"
#include "sim/world/world.h"

namespace cv::sim {

class GameLayout {
 public:
  // Brings the game objects, the form map, the mods and the console flag up
  // to date with the world.
  void Publish(const std::vector<Form*>& forms, const std::vector<std::string>& mods,
               bool consoleMode);
  // The game object of a form; null when it has none yet.
  void* ObjectOf(const Form* form) const;
  // The form whose game object this is; null for anything else.
  Form* FormOf(const void* object) const;

 private:
  struct Mirror {
    void* object = nullptr;
    FormKind kind = FormKind::Plain;
    image::Class c = image::Class::Form;
    void* process = nullptr;     // actors
    std::vector<void*> entries;  // form lists, as last written
  };
  void* Package(const Conversation* c);

  std::unordered_map<const Form*, Mirror> mirrors_;
  std::unordered_map<const void*, Form*> forms_;
  std::unordered_map<const Conversation*, void*> packages_;
};

}  // namespace cv::sim
