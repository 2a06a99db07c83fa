// Not built yet.
namespace kelo {}
