/* A Wayland compositor without xdg-shell: `bare_compositor SOCKET` offers
 * wl_compositor and the layer shell on $XDG_RUNTIME_DIR/SOCKET and serves
 * until it is ended. Its objects take no requests: a client that gets as far
 * as making a surface is killed by the protocol error. */
#include <stdio.h>
#include <wayland-server.h>

/* Clients bind by name: the layer shell needs no more of its definition. */
static const struct wl_interface layer_shell = {"zwlr_layer_shell_v1", 4, 0, NULL, 0, NULL};

static void bind(struct wl_client* client, void* data, uint32_t version, uint32_t id) {
  const struct wl_interface* interface = data;
  if (wl_resource_create(client, interface, (int)version, id) == NULL) wl_client_post_no_memory(client);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: bare_compositor SOCKET\n");
    return 2;
  }
  struct wl_display* display = wl_display_create();
  if (display == NULL || wl_display_add_socket(display, argv[1]) != 0) {
    fprintf(stderr, "bare_compositor: cannot serve %s\n", argv[1]);
    return 1;
  }
  wl_global_create(display, &wl_compositor_interface, 4, (void*)&wl_compositor_interface, bind);
  wl_global_create(display, &layer_shell, 4, (void*)&layer_shell, bind);
  wl_display_run(display);
  return 0;
}
