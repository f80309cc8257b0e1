// Anchor for the compiled-in resources (icons, bitmap, cursor, sound).
namespace orvelin::res {
int resourceAnchor = 0;
}
