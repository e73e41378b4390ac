package i2cdln.sim;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.OutputStream;
import java.net.InetAddress;
import java.net.Socket;
import java.nio.charset.StandardCharsets;
import java.time.Duration;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * One Java device model served to dln-sim over the provider protocol (docs/device-providers.md):
 * a connection that claims the model's address or line, and a thread that answers dln-sim's
 * requests with the model's methods, one at a time, in the order they come.
 */
final class DeviceProvider implements SimRobot.Attachment {
    // The hello's answer comes from dln-sim's event loop: seconds only on a stalled machine.
    private static final int HELLO_MILLIS = 10_000;

    private final DeviceModel model;
    private final String claim; // "i2c" or "spi"
    private final int number;
    private final Socket socket;
    private final OutputStream out;
    private final BufferedReader in;
    private final Thread thread;
    private String lastState = "{}";

    private DeviceProvider(DeviceModel model, String claim, int number, Socket socket)
            throws IOException {
        this.model = model;
        this.claim = claim;
        this.number = number;
        this.socket = socket;
        this.out = socket.getOutputStream();
        this.in = new BufferedReader(
                new InputStreamReader(socket.getInputStream(), StandardCharsets.UTF_8));
        this.thread = new Thread(this::serve, "device model " + model.name() + " at " + where());
        thread.setDaemon(true);
    }

    /**
     * Connects to dln-sim's provider port and claims the device.
     *
     * @throws IllegalArgumentException when dln-sim refuses the claim, with its reason
     * @throws IOException when dln-sim cannot be reached or does not answer
     */
    static DeviceProvider connect(int port, String claim, int number, DeviceModel model,
            Duration timeout) throws IOException {
        Socket socket = new Socket(InetAddress.getLoopbackAddress(), port);
        DeviceProvider provider;
        try {
            socket.setTcpNoDelay(true);
            provider = new DeviceProvider(model, claim, number, socket);
            Map<String, Object> hello = new LinkedHashMap<>();
            hello.put("hello", model.name());
            hello.put("claims", List.of(Map.of(claim, number)));
            hello.put("timeoutMs", timeout.toMillis());
            provider.send(hello);
            socket.setSoTimeout(HELLO_MILLIS);
            String line = provider.in.readLine();
            socket.setSoTimeout(0);
            if (line == null) {
                throw new IOException("dln-sim closed the provider connection of " + model.name());
            }
            Object error = Json.object(line).get("error");
            if (error != null) {
                throw new IllegalArgumentException("dln-sim refused the device model "
                        + model.name() + " at " + provider.where() + ": " + error);
            }
            provider.sendStateIfChanged();
        } catch (IOException | RuntimeException e) {
            socket.close();
            throw e;
        }
        provider.thread.start();
        return provider;
    }

    private String where() {
        return claim.equals("i2c") ? String.format("i2c 0x%02x", number) : "spi line " + number;
    }

    private void send(Map<String, Object> message) throws IOException {
        sendLine(Json.write(message));
    }

    private synchronized void sendLine(String line) throws IOException {
        out.write((line + "\n").getBytes(StandardCharsets.UTF_8));
        out.flush();
    }

    private void sendStateIfChanged() throws IOException {
        String state = Json.write(model.state());
        if (!state.equals(lastState)) {
            lastState = state;
            sendLine("{\"state\":" + state + "}");
        }
    }

    private void serve() {
        try {
            String line;
            while ((line = in.readLine()) != null) {
                Map<String, Object> request = Json.object(line);
                if (request.containsKey("id") && request.containsKey("op")) {
                    Map<String, Object> answer = answer(request);
                    // The state first: dln-sim has it before the program has its answer.
                    sendStateIfChanged();
                    send(answer);
                }
            }
        } catch (IOException | IllegalArgumentException e) {
            // closed by close() or by dln-sim stopping; a line we cannot read ends it too
        }
    }

    /** The model's answer to one request, or the failure it threw. */
    private Map<String, Object> answer(Map<String, Object> request) {
        Map<String, Object> answer = new LinkedHashMap<>();
        answer.put("id", request.get("id"));
        String op = String.valueOf(request.get("op"));
        try {
            switch (op) {
                case "write" -> ((I2cDeviceModel) model).write(bytes(request.get("bytes")));
                case "read" -> answer.put("bytes",
                        ((I2cDeviceModel) model).read(((Number) request.get("count")).intValue()));
                case "transfer" -> answer.put("bytes",
                        ((SpiDeviceModel) model).transfer(bytes(request.get("bytes"))));
                default -> answer.put("result", "fail");
            }
        } catch (DeviceFailure failure) {
            answer.remove("bytes");
            answer.put("result", failure.result());
        } catch (RuntimeException bug) {
            // A model's own fault fails the transfer, and says so where the test's output is.
            System.err.println("device model " + model.name() + " at " + where() + " threw on "
                    + Json.write(request) + ":");
            bug.printStackTrace();
            answer.remove("bytes");
            answer.put("result", "fail");
        }
        return answer;
    }

    private static int[] bytes(Object list) {
        List<?> values = list instanceof List<?> l ? l : new ArrayList<>();
        int[] bytes = new int[values.size()];
        for (int i = 0; i < bytes.length; i++) {
            bytes[i] = ((Number) values.get(i)).intValue();
        }
        return bytes;
    }

    @Override
    public DeviceModel model() {
        return model;
    }

    /** Ends the claim: the device leaves the bus. */
    @Override
    public void close() {
        try {
            socket.close();
        } catch (IOException ignored) {
            // closed already
        }
        try {
            thread.join(10_000);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }
}
