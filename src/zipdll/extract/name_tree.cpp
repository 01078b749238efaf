#include "zipdll/extract/name_tree.h"

#include "base/wildcard.h"

namespace zipdll::extract {

size_t NameTree::Child(size_t parent, std::string_view element) {
  const auto [at, made] = children_.try_emplace(Key{parent, base::FoldCase(element)}, 0);
  if (made) {
    at->second = nodes_.size();
    nodes_.push_back(Node{parent});
  }
  return at->second;
}

size_t NameTree::Add(std::string_view path) {
  size_t node = kRoot;
  while (!path.empty()) {
    const size_t split = path.find('\\');
    const std::string_view element = path.substr(0, split);
    if (!element.empty()) node = Child(node, element);
    path = split == std::string_view::npos ? std::string_view() : path.substr(split + 1);
  }
  return node;
}

}  // namespace zipdll::extract
