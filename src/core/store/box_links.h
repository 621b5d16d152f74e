#pragma once

#include <string>

// A box reached through a symbolic link lies outside its data folder (a link to another
// user's folder, to /etc, ...): nothing of it is listed, and nothing is written or deleted
// through it. The box folder itself may be a link (the user's choice of where it lives); the
// kind folders ("rusuroku", "naisen") and the boxes in them may not, nor the response folder.
namespace voxmg {

// True when `boxPath` (<box folder>/<kind>/<box> or <box folder>/outou) is a link, or lies in
// a kind folder that is one.
bool isLinkedBox(const std::string& boxPath);

// True when the box that holds `messagePath` is a linked box.
bool isInLinkedBox(const std::string& messagePath);

}  // namespace voxmg
