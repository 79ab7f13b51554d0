#pragma once

#include <future>

// Starts reading the image-format plugins' descriptions on a thread of their own. The style
// loads a picture for the first group box it paints, and before decoding even a built-in
// format Qt opens every image-format plugin to see whether one of them claims it: work that
// would otherwise sit in the middle of the window's first frame. Needs the application object;
// the returned future ends with the reading and must not outlive that object.
std::future<void> PrefetchImageFormats();
