// The texts of the geometry editor's rules: link, attach, detach and delete flows.
#pragma once

#include <string_view>

namespace lumetra::geometry {

// Linking.
inline constexpr std::string_view kMsgIncorrectLink = "Incorrect link. Select other geometry(ies)";
inline constexpr std::string_view kMsgRelinkOne = "%s geometry linked to %s.\nRelink it to %s?";
inline constexpr std::string_view kMsgRelinkSome =
    "Some selected geometries already linked.\nContinue ?";
inline constexpr std::string_view kMsgLinkedOne = "%s linked to %s";
inline constexpr std::string_view kMsgLinkedSome = "Selected geometries linked to '%s'";
inline constexpr std::string_view kUndoLink = "Link selected";
inline constexpr std::string_view kMsgUnlinked = "%d geometries unlinked.";
inline constexpr std::string_view kUndoUnlink = "Unlink geometries";
inline constexpr std::string_view kMsgNoLinked = "No linked geometries selected.";
inline constexpr std::string_view kMsgVectorsNoUnlink = "Vectors can not be unlinked.";

// Attaching to a group and detaching.
inline constexpr std::string_view kMsgNoGroupThere = "No group there. Choose parent group geometry";
inline constexpr std::string_view kMsgNoGeometryThere = "No geometry there. Choose parent geometry";
inline constexpr std::string_view kMsgAttachSelf = "Can't attach geometry to self. Cancelled.";
inline constexpr std::string_view kMsgAttachCycle = "Cycle attachment. Cancelled.";
inline constexpr std::string_view kMsgAttachedOne = "%s attached to %s";
inline constexpr std::string_view kUndoAttachOne = "Attach geometry";
inline constexpr std::string_view kMsgAttachedSome = "Selected geometries attached to %s";
inline constexpr std::string_view kUndoAttachSome = "Attach selected";
inline constexpr std::string_view kMsgCantAttach = "Can't attach '%s' geometry.";
inline constexpr std::string_view kMsgDetached = "%d geometries detached.";
inline constexpr std::string_view kUndoDetach = "Detach geometries";
inline constexpr std::string_view kMsgNoAttached = "No attached geometries selected.";
// Pick tolerance of the attach and link tools, in view pixels.
inline constexpr float kAttachPickPixels = 5.f;

// Deleting.
inline constexpr std::string_view kAskDeleteUsed =
    "Geometries you are about to delete are used in project.\nDelete them anyway ?";
inline constexpr std::string_view kMsgDeletedOne = "Geometry deleted";
inline constexpr std::string_view kMsgDeletedSome = "%d geometries deleted";
inline constexpr std::string_view kUndoDelete = "Delete selected";
inline constexpr std::string_view kUndoDeleteSubtree = "Delete geometries with subtree";

// Creation and the services.
inline constexpr std::string_view kMsgCantCreateContour = "Can't create contour";
inline constexpr std::string_view kMsgCantCreateVertex = "Can't create vertex";
inline constexpr std::string_view kMsgCantCreateGroup = "Can't create group";
inline constexpr std::string_view kMsgGetCurvesError = "GeoGetCurves returns error";
inline constexpr std::string_view kMsgSubgeoGetError = "V_GeoSubgeoGet returns error";

// Base names the editors number with GeoMakeName, and the one-by-one name prefixes.
inline constexpr std::string_view kBaseContour = "Contour";
inline constexpr std::string_view kBaseRectangle = "Rectangle";
inline constexpr std::string_view kBaseCircle = "Circle";
inline constexpr std::string_view kBaseContourVertex = "V";
inline constexpr std::string_view kBaseGroup = "Group";
inline constexpr std::string_view kBaseMorphPair = "MorphPair";
inline constexpr std::string_view kPrefixVertex = "Vertex";          // "Vertex%.3d"
inline constexpr std::string_view kPrefixUserGroup = "User group ";  // "User group %3d"

// Track names by index, and the inheritance grid of the inspector.
inline constexpr std::string_view kTrackNames[] = {"Position", "Rotation", "Scale", "V", "W"};
inline constexpr std::string_view kInheritRows[] = {"POS", "ROT", "SCA"};
inline constexpr std::string_view kInheritColumns[] = {"X", "Y", "Z"};
inline constexpr std::string_view kInheritTitle = "Inheritance";

}  // namespace lumetra::geometry
