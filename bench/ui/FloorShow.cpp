// Start-up benchmark program (b), the floor: an undecorated 320 x 180 window written
// directly on Xlib, cairo and pango with a blue band, a picture and a wrapped line of
// CJK text. It prints the monotonic time of its first painted frame and exits.
#include <X11/Xlib.h>
#include <cairo-xlib.h>
#include <pango/pangocairo.h>

#include <cstdio>
#include <ctime>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PICTURE.png\n", argv[0]);
        return 2;
    }
    Display* d = XOpenDisplay(nullptr);
    if (!d)
        return 1;
    int screen = DefaultScreen(d);
    XSetWindowAttributes attrs{};
    attrs.override_redirect = True;
    attrs.event_mask = ExposureMask;
    Window w = XCreateWindow(d, RootWindow(d, screen), 1600, 900, 320, 180, 0, CopyFromParent,
                             InputOutput, CopyFromParent, CWOverrideRedirect | CWEventMask, &attrs);
    cairo_surface_t* picture = cairo_image_surface_create_from_png(argv[1]);
    XMapRaised(d, w);
    XFlush(d);
    cairo_surface_t* target = cairo_xlib_surface_create(d, w, DefaultVisual(d, screen), 320, 180);
    for (;;) {
        XEvent ev;
        XNextEvent(d, &ev);
        if (ev.type != Expose)
            continue;
        cairo_t* cr = cairo_create(target);
        cairo_set_source_rgb(cr, 250 / 255.0, 251 / 255.0, 1);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 110 / 255.0, 133 / 255.0, 213 / 255.0);
        cairo_rectangle(cr, 0, 0, 320, 30);
        cairo_fill(cr);
        cairo_set_source_surface(cr, picture, 295, 5);
        cairo_paint(cr);
        PangoLayout* layout = pango_cairo_create_layout(cr);
        PangoFontDescription* font = pango_font_description_from_string("WenQuanYi Micro Hei");
        pango_font_description_set_absolute_size(font, 14 * PANGO_SCALE);
        pango_layout_set_font_description(layout, font);
        pango_layout_set_width(layout, 280 * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        pango_layout_set_text(
            layout, "新版本已发布，欢迎升级体验更多功能。点击查看详情，了解本次更新的全部内容。",
            -1);
        cairo_set_source_rgb(cr, 0.4, 0.4, 0.4);
        cairo_move_to(cr, 20, 50);
        pango_cairo_show_layout(cr, layout);
        pango_font_description_free(font);
        g_object_unref(layout);
        cairo_destroy(cr);
        cairo_surface_flush(target);
        XSync(d, False);
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        std::printf("painted_ns=%lld\n", ts.tv_sec * 1000000000LL + ts.tv_nsec);
        std::fflush(stdout);
        break;
    }
    cairo_surface_destroy(target);
    cairo_surface_destroy(picture);
    XCloseDisplay(d);
    return 0;
}
