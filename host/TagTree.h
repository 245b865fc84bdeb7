// Tag groups as the stand-in host keeps them: a tree of nodes, each a group (tags found by label or
// by index) or a list (tags found by index only), whose tags hold a typed value or another node.
//
// Nodes are shared: a tag-group handle names a node, the tag that holds a node as its value names
// the same node, and a change through either is seen through both. A node may sit in several
// trees, but never inside itself (insertions that would close a cycle are refused), so the
// ownership through std::shared_ptr never forms a loop.
//
// Tag paths. Functions that take a "string" where a tag is named accept a path:
//
//     path   = step *( ":" step )
//     step   = label *index | 1*index
//     label  = 1*( any character except ":", "[", "]" )
//     index  = "[" 1*9DIGIT "]"              ; 0-based, decimal
//
// "Acquisition:Exposure" names the tag "Exposure" of the group "Acquisition"; "Points[2]" and
// "Points:[2]" both name the third tag of the list "Points"; "[0][1]" is the second tag of the
// first tag. Labels are compared exactly (case and spaces count). Anything else is malformed: an
// empty path, an empty step ("a::b", ":a", "a:"), "[" without "]", a non-digit index, a stray "]".
// Labels given where a single label is expected (TagGroupCreateNewLabeledGroup, ...) may not
// contain ":", "[" or "]".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Images.h"
#include "shell/Boundary.h"

namespace StandIn {

// The type of a tag's value. Empty is a tag made without a value (TagGroupCreateNewTagAtEnd, ...).
enum class TagType {
    Empty,
    Boolean,
    Short,
    UInt16,
    Long,
    UInt32,
    Float,
    Double,
    FloatComplex,
    DoubleComplex,
    EightBitColor,
    FloatPoint,
    ShortPoint,
    LongPoint,
    FloatRect,
    ShortRect,
    LongRect,
    RGBUInt16,
    String,  // text; the ...AsString and ...AsText functions both read and write it
    Group,   // a node (group or list)
    Array,   // the elements of an image, with their element type
};
const char* tagTypeName(TagType type);  // "long", "float point", "tag group", ...

struct TagNode;

struct TagArray {
    ElementType type = ElementType::Float32;
    std::size_t count = 0;
    std::vector<unsigned char> bytes;
};

struct TagValue {
    TagType type = TagType::Empty;
    // The numbers of the numeric types, in the order of the functions' parameters (a complex
    // value: real, imaginary). Every 16- and 32-bit value and every float is exact in a double.
    std::array<double, 4> numbers{};
    std::u16string text;                    // String
    std::shared_ptr<TagNode> group;         // Group
    std::shared_ptr<const TagArray> array;  // Array (never changed once made, so shared by copies)
};

struct TagEntry {
    std::string label;  // Latin-1; empty for the tags of a list and for unlabelled tags
    TagValue value;
};

struct TagNode : std::enable_shared_from_this<TagNode> {
    bool list = false;
    bool open = false;  // TagGroupSetIsOpen / TagGroupIsOpen: kept, not used
    std::vector<TagEntry> entries;
    std::int32_t changed = 0;  // change clock value of the latest change of this node's entries
    // The handle that named this node most recently (it may have died since): a node is handed
    // out under one handle at a time, so handles compare equal exactly when the nodes are equal.
    Vorna::Handle handle = 0;

    // Index of the first tag with this label, if any.
    std::optional<std::size_t> find(const std::string& label) const;
    // Records a change of this node's entries.
    void touch();
};

// A malformed tag path or label; what() says what is wrong.
class TagPathError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

struct TagStep {
    bool isIndex = false;
    std::string label;
    std::size_t index = 0;
};

// Parses a path by the grammar above; throws TagPathError.
std::vector<TagStep> parseTagPath(const std::string& path);
// Checks a single label; throws TagPathError.
void checkTagLabel(const std::string& label);
// "a:b[2]" back from steps ("a:b:[2]": every step written separately).
std::string tagPathText(const std::vector<TagStep>& steps);

// Where a path leads in a tree.
struct TagSpot {
    TagNode* node = nullptr;           // the node that holds (or would hold) the final step;
                                       // every node is owned by a std::shared_ptr
    std::optional<std::size_t> index;  // the final tag, when it exists
};

// Follows every step but the last through groups and lists, then looks the last one up in the
// node reached. Answers nothing when an earlier step is missing or is not a node.
std::optional<TagSpot> findTag(TagNode& root, const std::vector<TagStep>& steps);

// As findTag, but makes the missing groups of the earlier steps (labels only; an index must
// exist). Throws TagPathError naming the step when the path cannot be made: an earlier step is a
// tag of another type, an index is out of range, a label is used inside a list. Nothing is made
// unless the whole path can be.
TagSpot makeTagPath(TagNode& root, const std::vector<TagStep>& steps);

// The node as far as the path exists: the node `makeTagPath` would make new groups under.
TagNode& deepestExisting(TagNode& root, const std::vector<TagStep>& steps);

// Whether `target` is `from` or lies anywhere below it.
bool reaches(const TagNode& from, const TagNode* target);

// A deep copy: new nodes all the way down (handles not copied).
std::shared_ptr<TagNode> cloneTree(const TagNode& node);
TagValue cloneValue(const TagValue& value);

// The seed of a tree: the latest change anywhere in it. It only grows.
std::int32_t treeSeed(const TagNode& node);

}  // namespace StandIn
