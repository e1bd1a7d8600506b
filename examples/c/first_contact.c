/* first_contact_c: the library's flat C interface meets a module.
 *
 *   first_contact_c ADDRESS
 *
 * ADDRESS is a serial port (/dev/ttyUSB0) or host:port for a module on
 * TCP/IP (127.0.0.1:5000). The program connects, pings the module and prints
 * its identity. Every command waits at most two seconds for its answer; the
 * exit status is 0 when every step worked, 1 when one failed and 2 for bad
 * arguments. */
#define _POSIX_C_SOURCE 200112L

#include <linkwell/matlab_wrapper.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>

#define LOG_LEVEL 0 /* no log file */
#define REPLY_TIMEOUT_SECONDS 2

static int fail(const char* what, const char* detail)
{
    fflush(stdout);
    fprintf(stderr, "first_contact_c: error: %s%s\n", what, detail);
    return 1;
}

/* A host:port address, as opposed to a serial port's path. */
static int is_tcp_address(const char* address)
{
    return address[0] != '\0' && address[0] != '/' && address[0] != '.' && strchr(address, ':') != NULL;
}

/* Fills in the IPv4 address and port in network byte order; 0 on success. */
static int resolve(const char* address, unsigned int* ip, unsigned short* port)
{
    char host[256];
    const char* colon = strrchr(address, ':');
    const size_t host_length = (size_t)(colon - address);
    char* end = NULL;
    unsigned long number;
    struct addrinfo hints;
    struct addrinfo* found = NULL;

    if (host_length == 0 || host_length >= sizeof host || colon[1] == '\0')
        return 1;
    number = strtoul(colon + 1, &end, 10);
    if (*end != '\0' || number == 0 || number > 65535 || colon[1] == '-' || colon[1] == '+')
        return 1;
    memcpy(host, address, host_length);
    host[host_length] = '\0';

    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    if (getaddrinfo(host, NULL, &hints, &found) != 0 || found == NULL)
        return 1;
    *ip = ((const struct sockaddr_in*)(const void*)found->ai_addr)->sin_addr.s_addr;
    *port = htons((unsigned short)number);
    freeaddrinfo(found);
    return 0;
}

struct IdentityItem {
    const char* name;
    int (*get)(Z3_Type*, char*, unsigned int);
};

static const struct IdentityItem identity[] = {
    { "item number", vmx_get_item_number },
    { "order code", vmx_get_order_code },
    { "firmware id", vmx_get_firmware_id },
    { "firmware version", vmx_get_firmware_version },
    { "build info", vmx_get_build_info },
    { "application ids", vmx_get_app_id_list },
    { "serial number", vmx_get_serial_number },
};

static int talk(Z3_Type* z3, const char* address)
{
    unsigned int pong = 0;
    size_t i;

    vmx_set_default_timeout(z3, REPLY_TIMEOUT_SECONDS);
    if (vmx_ping(z3, &pong) != 0)
        return fail("no answer to ping from ", address);
    printf("ping: pong %u\n", pong);
    for (i = 0; i < sizeof identity / sizeof identity[0]; ++i) {
        char text[256];
        if (identity[i].get(z3, text, sizeof text) != 0)
            return fail("no answer when asked for the ", identity[i].name);
        printf("%s: %s\n", identity[i].name, text);
    }
    printf("first contact done\n");
    return 0;
}

int main(int argc, char** argv)
{
    const char* address;
    LinkwellHandle* connection;
    Z3_Type* z3;
    int result;

    if (argc != 2) {
        fprintf(stderr,
            "usage: first_contact_c ADDRESS\n"
            "  ADDRESS  a serial port (/dev/ttyUSB0) or host:port of a module on TCP/IP\n");
        return 2;
    }
    address = argv[1];
    if (is_tcp_address(address)) {
        unsigned int ip = 0;
        unsigned short port = 0;
        if (resolve(address, &ip, &port) != 0)
            return fail("not a reachable host:port address: ", address);
        printf("connecting to %s over TCP/IP\n", address);
        fflush(stdout);
        connection = vmx_create_linkwell_tcpip(ip, port, 0, LOG_LEVEL);
    } else {
        printf("connecting to serial port %s\n", address);
        fflush(stdout);
        connection = vmx_create_linkwell(address, LOG_LEVEL);
    }
    if (connection == NULL)
        return fail("cannot connect to ", address);

    z3 = vmx_get_z3(connection);
    result = z3 != NULL ? talk(z3, address) : fail("no command interface for ", address);
    vmx_destroy_Z3_interface(z3);
    vmx_destroy_linkwell(connection);
    return result;
}
