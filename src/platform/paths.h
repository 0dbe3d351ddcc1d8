#pragma once

// The one place that knows how native paths are spelled. Logic that joins or splits
// paths uses these, never a literal separator, so another platform changes them here.
namespace dw::platform {

// Separates the folders and the name of a native path.
inline constexpr char kSep = '/';

// The root of the file system: the one folder written with a trailing separator.
inline constexpr char kRootFolder[] = "/";

}  // namespace dw::platform
