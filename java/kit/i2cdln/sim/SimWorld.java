package i2cdln.sim;

import java.io.IOException;
import java.net.URI;
import java.net.http.HttpClient;
import java.net.http.HttpRequest;
import java.net.http.HttpResponse;
import java.time.Duration;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * Changes the simulated world while a test runs, through the live page's JSON API of the
 * {@code dln-sim} the kit started, so every change meets the checks of the live page's
 * controls. From {@link SimRobot#world()}:
 *
 * <pre>{@code
 * robot.world().set(0x29, "distanceMm", 300);          // the wall comes to 300 mm now
 * robot.world().fault(SimFault.on("DlnI2cMasterRead").address(0x29).code("nack").count(20));
 * robot.world().clearFaults();
 * robot.world().unplug(Duration.ofSeconds(2));            // as if the USB cable were pulled
 * Map<String, Object> laser = robot.world().device(0x29);
 * }</pre>
 *
 * <p>A change dln-sim refuses throws {@link IllegalArgumentException} with dln-sim's reason
 * (such as {@code set.distanceMm: 5000 is outside 0..2000}); a simulator that does not answer
 * throws {@link IOException}. Every change is applied before the method returns: the next
 * adapter call sees it. Safe to use from several threads.
 */
public final class SimWorld {
    private static final Duration ANSWER = Duration.ofSeconds(10);

    private final URI page;
    private final HttpClient client;

    SimWorld(URI page) {
        this.page = page;
        this.client = HttpClient.newBuilder().version(HttpClient.Version.HTTP_1_1)
                .connectTimeout(ANSWER).build();
    }

    /**
     * The live page this world is changed through, such as {@code http://127.0.0.1:41234/}:
     * open it in a browser to watch the test.
     *
     * @return the page's address
     */
    public URI page() {
        return page;
    }

    /**
     * Sets one setting of an I2C device, as the live page's slider does: the laser's
     * {@code distanceMm} or {@code path}, a board's {@code input1}, a servo board's
     * {@code current}... (each device's {@code settings} in {@link #device} lists its own).
     *
     * @param i2cAddress the device's 7-bit address
     * @param setting the setting's name
     * @param value a number, a string, a list or a map, as the setting takes it; a numeric
     *     setting (or the laser's {@code path}) also takes {@code Map.of("csv", "wall.csv")},
     *     a file of time and value found from the test JVM's working folder, where dln-sim runs
     * @return dln-sim's account of what it applied
     * @throws IllegalArgumentException when dln-sim refuses the setting or value
     * @throws IOException when dln-sim does not answer
     */
    public String set(int i2cAddress, String setting, Object value) throws IOException {
        return change(setting("i2c", i2cAddress, setting, value));
    }

    /**
     * Sets one setting of the SPI device on a slave-select line.
     *
     * @param line the line, 0..3
     * @param setting the setting's name
     * @param value the value, as the setting takes it
     * @return dln-sim's account of what it applied
     * @throws IllegalArgumentException when dln-sim refuses the setting or value
     * @throws IOException when dln-sim does not answer
     */
    public String setSpi(int line, String setting, Object value) throws IOException {
        return change(setting("spi", line, setting, value));
    }

    /**
     * Applies any world change that a scenario's timeline holds, without its {@code at}: for
     * example {@code Map.of("i2c", 0x29, "set", Map.of("distanceMm", 300, "noiseMm", 0))}.
     *
     * @param event the timeline event, as maps, lists, numbers and strings
     * @return dln-sim's account of what it applied
     * @throws IllegalArgumentException when dln-sim refuses the event
     * @throws IOException when dln-sim does not answer
     */
    public String change(Map<String, ?> event) throws IOException {
        return send("POST", "api/world", Json.write(event));
    }

    /**
     * Unplugs the adapter for a time, as pulling its USB cable would: meanwhile every call but
     * connect and disconnect fails as the DLN server answers for a removed adapter (0x42, no
     * such device), and the handles open now are gone for good, so the program must open the
     * adapter again. For testing a program's recovery.
     *
     * @param time how long, more than 0 and at most a day
     * @return dln-sim's account of what it applied
     * @throws IllegalArgumentException when dln-sim refuses the time
     * @throws IOException when dln-sim does not answer
     */
    public String unplug(Duration time) throws IOException {
        return change(Map.of("unplug", Map.of("forS", time.toNanos() / 1e9)));
    }

    /**
     * Injects a fault now, for the calls from now on.
     *
     * @param fault the fault
     * @return dln-sim's account of what it applied
     * @throws IllegalArgumentException when dln-sim refuses the fault (an unknown call or code)
     * @throws IOException when dln-sim does not answer
     */
    public String fault(SimFault fault) throws IOException {
        return send("POST", "api/faults", Json.write(fault.fields()));
    }

    /**
     * Drops the pending faults (those of the scenario and those injected); random faults stay.
     *
     * @return dln-sim's account of what it applied
     * @throws IOException when dln-sim does not answer
     */
    public String clearFaults() throws IOException {
        return send("DELETE", "api/faults", null);
    }

    /**
     * The whole state the live page shows: {@code timeS}, {@code adapter}, {@code devices}
     * (each with {@code bus}, {@code address}, {@code model}, {@code state}, {@code settings}),
     * {@code bus}, {@code timeline} and {@code changes}.
     *
     * @return the state as maps, lists, {@code Long}, {@code Double}, strings and booleans
     * @throws IOException when dln-sim does not answer
     */
    public Map<String, Object> state() throws IOException {
        return Json.object(send("GET", "api/state", null));
    }

    /**
     * One I2C device as the live page shows it: {@code model}, {@code state} (such as the
     * laser's {@code distanceMm}) and {@code settings}.
     *
     * @param i2cAddress the 7-bit address
     * @return the device's entry of {@link #state()}
     * @throws IllegalArgumentException when no device answers at the address
     * @throws IOException when dln-sim does not answer
     */
    @SuppressWarnings("unchecked")
    public Map<String, Object> device(int i2cAddress) throws IOException {
        for (Object entry : (List<Object>) state().get("devices")) {
            Map<String, Object> device = (Map<String, Object>) entry;
            if ("i2c".equals(device.get("bus"))
                    && ((Number) device.get("address")).intValue() == i2cAddress) {
                return device;
            }
        }
        throw new IllegalArgumentException(String.format("no I2C device at 0x%02x", i2cAddress));
    }

    /** The event in the order a reader expects it in a message: the device, then the setting. */
    private static Map<String, Object> setting(String bus, int number, String name, Object value) {
        Map<String, Object> event = new LinkedHashMap<>();
        event.put(bus, number);
        event.put("set", Map.of(name, value));
        return event;
    }

    private String send(String method, String path, String body) throws IOException {
        HttpRequest.Builder request = HttpRequest.newBuilder(page.resolve(path)).timeout(ANSWER);
        if (body == null) {
            request.method(method, HttpRequest.BodyPublishers.noBody());
        } else {
            request.header("Content-Type", "application/json")
                    .method(method, HttpRequest.BodyPublishers.ofString(body));
        }
        HttpResponse<String> response;
        try {
            response = client.send(request.build(), HttpResponse.BodyHandlers.ofString());
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            throw new IOException("interrupted while dln-sim's live page answered " + path, e);
        }
        if (response.statusCode() == 200) {
            if (!method.equals("GET")) {
                Object applied = Json.object(response.body()).get("applied");
                return applied == null ? "" : applied.toString();
            }
            return response.body();
        }
        String reason = response.body();
        try {
            Object error = Json.object(reason).get("error");
            reason = error == null ? reason : error.toString();
        } catch (IllegalArgumentException notJson) {
            // the body as it came
        }
        String what = method + " /" + path + (body == null ? "" : " " + body);
        if (response.statusCode() == 400) {
            throw new IllegalArgumentException("dln-sim refused " + what + ": " + reason);
        }
        throw new IOException("dln-sim answered " + what + " with " + response.statusCode()
                + ": " + reason);
    }
}
