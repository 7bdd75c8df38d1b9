// Keeps the library non-empty until its pieces land.
namespace tavvel_player_detail { int placeholder = 0; }
