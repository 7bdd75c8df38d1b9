// Keeps the library non-empty until its pieces land.
namespace tavvel_service_detail { int placeholder = 0; }
