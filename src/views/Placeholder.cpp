// Keeps the library non-empty until its controls land.
namespace tavvel_views_detail { int placeholder = 0; }
