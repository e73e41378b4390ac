package i2cdln;

import java.net.InetSocketAddress;

/**
 * The adapter server's address as our adapter library {@code dln} reads it: the environment
 * variable {@code DLN_SERVER} when it is set and not empty, else the library's fixed
 * {@code localhost:9656}. The one rule for that variable in Java: the typed API probes this
 * address after a failed call, and the simulator kit listens on it.
 *
 * <p>Prints as {@code host:port}, with an IPv6 address in brackets ({@code [::1]:9700}).
 *
 * @param host the host name or address, without brackets
 * @param port the TCP port, 1..65535
 */
public record ServerAddress(String host, int port) {
    /** The host the library asks for; a {@code DLN_SERVER} that is a port alone keeps it. */
    public static final String FIXED_HOST = "localhost";
    /** The port the library asks for. */
    public static final int FIXED_PORT = 9656;

    /**
     * The address our {@code dln} connects to in this process.
     *
     * @return {@code DLN_SERVER}'s address, or localhost:9656 when it is unset or empty
     * @throws IllegalArgumentException when {@code DLN_SERVER} is malformed; our {@code dln}
     *     then makes no connection at all, so no other address may stand in for it
     */
    public static ServerAddress fromEnvironment() {
        String value = System.getenv("DLN_SERVER");
        return value == null || value.isEmpty() ? new ServerAddress(FIXED_HOST, FIXED_PORT)
                                                : parse(value);
    }

    /**
     * Parses a {@code DLN_SERVER} value exactly as our {@code dln} does: "host:port",
     * "[v6-address]:port", or a port alone (on {@link #FIXED_HOST}). The port is decimal
     * digits only, 1..65535; nothing else is trimmed or guessed.
     *
     * @param text the value
     * @return the address
     * @throws IllegalArgumentException naming the value when it is malformed
     */
    public static ServerAddress parse(String text) {
        int colon = text.lastIndexOf(':');
        String host = colon < 0 ? FIXED_HOST : text.substring(0, colon);
        if (colon >= 0 && host.length() >= 2 && host.startsWith("[") && host.endsWith("]")) {
            host = host.substring(1, host.length() - 1);
        } else if (host.contains(":")) {
            host = ""; // an unbracketed IPv6 address would be split at its last group
        }
        int port = port(text.substring(colon + 1));
        if (host.isEmpty() || port == 0) {
            throw new IllegalArgumentException("DLN_SERVER=\"" + text
                    + "\" is not \"host:port\", \"[v6-address]:port\" or \"port\" (1..65535)");
        }
        return new ServerAddress(host, port);
    }

    /** The port of decimal digits, or 0 when the text is not one in 1..65535. */
    private static int port(String digits) {
        if (digits.isEmpty() || !digits.chars().allMatch(c -> c >= '0' && c <= '9')) {
            return 0;
        }
        String significant = digits.replaceFirst("^0+", "");
        return significant.length() > 5 || significant.isEmpty() ? 0
                : Integer.parseInt(significant) > 65535 ? 0 : Integer.parseInt(significant);
    }

    /**
     * The address as an unresolved socket address, for code that connects itself.
     *
     * @return the host and port, not looked up
     */
    public InetSocketAddress toSocketAddress() {
        return InetSocketAddress.createUnresolved(host, port);
    }

    @Override
    public String toString() {
        return (host.contains(":") ? "[" + host + "]" : host) + ":" + port;
    }
}
