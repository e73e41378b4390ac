package i2cdln.sim;

import java.io.IOException;
import java.net.InetAddress;
import java.net.ServerSocket;
import java.util.Arrays;

/**
 * Runs a command with {@code DLN_SERVER} set to a free loopback port, so that the test JVM it
 * starts (and the {@link SimulatedRobot} simulators in it) have a port no other run uses:
 *
 * <pre>
 * java -cp i2cdln-sim.jar i2cdln.sim.WithFreePort java -jar junit-platform-console-standalone.jar ...
 * </pre>
 *
 * <p>The port is found by binding port 0 and releasing it, so another program could take it in
 * the moment between; the simulator then fails to start, naming the port in use. Exits with
 * the command's exit status.
 */
public final class WithFreePort {
    private WithFreePort() {
    }

    /**
     * Picks a free port on 127.0.0.1.
     *
     * @return the port, released again
     * @throws IOException when no port can be bound
     */
    public static int freePort() throws IOException {
        try (ServerSocket socket = new ServerSocket(0, 1, InetAddress.getLoopbackAddress())) {
            return socket.getLocalPort();
        }
    }

    /**
     * Runs the command given as the arguments, with standard input, output and error shared.
     *
     * @param args the command and its arguments
     * @throws Exception when the command cannot be started or waiting is interrupted
     */
    public static void main(String[] args) throws Exception {
        if (args.length == 0) {
            System.err.println("usage: WithFreePort COMMAND [ARGUMENTS...]");
            System.exit(2);
        }
        ProcessBuilder builder = new ProcessBuilder(Arrays.asList(args)).inheritIO();
        builder.environment().put("DLN_SERVER", "127.0.0.1:" + freePort());
        System.exit(builder.start().waitFor());
    }
}
