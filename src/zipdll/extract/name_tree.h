// The names of a run as a tree of their elements, one node per folder or file below the target,
// so that what a name shares with the others is found in time and memory linear in its length,
// however deep it goes: a set of every folder of every name would hold each name once per level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zipdll::extract {

class NameTree {
 public:
  static constexpr size_t kRoot = 0;

  struct Node {
    size_t parent = kRoot;
    unsigned files = 0;   // entries that write a file here
    bool folder = false;  // a folder here: made, or to be made by the run
    bool ahead = false;   // made by a worker for files written ahead, none of them kept yet
  };

  NameTree() : nodes_(1) {}

  // The node of element below parent, made when it is new. Elements compare without regard to
  // case, as the drives compare names.
  size_t Child(size_t parent, std::string_view element);
  // The node of a relative path ("\" between its elements), made with its folders when new.
  size_t Add(std::string_view path);

  Node& operator[](size_t node) { return nodes_[node]; }
  const Node& operator[](size_t node) const { return nodes_[node]; }

 private:
  struct Key {
    size_t parent;
    std::string folded;
    bool operator==(const Key& other) const {
      return parent == other.parent && folded == other.folded;
    }
  };
  struct KeyHash {
    size_t operator()(const Key& key) const {
      return std::hash<std::string>()(key.folded) ^ (key.parent * 0x9E3779B97F4A7C15ull);
    }
  };

  std::vector<Node> nodes_;
  std::unordered_map<Key, size_t, KeyHash> children_;
};

}  // namespace zipdll::extract
