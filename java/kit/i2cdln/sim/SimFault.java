package i2cdln.sim;

import java.util.LinkedHashMap;
import java.util.Map;

/**
 * A fault to inject with {@link SimWorld#fault}, as a scenario's {@code faults} entry says it:
 * the named adapter call returns a result code instead of doing its work.
 *
 * <pre>{@code
 * robot.world().fault(SimFault.on("DlnI2cMasterRead").address(0x29).code("nack").count(20));
 * }</pre>
 *
 * <p>Immutable: each method returns a new fault. dln-sim checks it as it checks a scenario
 * (an unknown call or code is refused with its reason).
 */
public final class SimFault {
    private final Map<String, Object> fields;

    private SimFault(Map<String, Object> fields) {
        this.fields = fields;
    }

    /**
     * A fault of one C call, with the code {@code "fail"} on every call until more is said.
     *
     * @param call the C call, such as {@code "DlnI2cMasterRead"}
     * @return the fault
     */
    public static SimFault on(String call) {
        Map<String, Object> fields = new LinkedHashMap<>();
        fields.put("call", call);
        fields.put("code", "fail");
        return new SimFault(fields);
    }

    private SimFault with(String key, Object value) {
        Map<String, Object> copy = new LinkedHashMap<>(fields);
        copy.put(key, value);
        return new SimFault(copy);
    }

    /**
     * The result the call returns.
     *
     * @param code a name ({@code "nack"}, {@code "fail"}, {@code "timeout"}...) or a number
     *     from 0x40 written as {@code "0x44"}
     * @return a new fault
     */
    public SimFault code(String code) {
        return with("code", code);
    }

    /**
     * Aims a fault of {@code DlnI2cMasterWrite} or {@code DlnI2cMasterRead} at one device.
     *
     * @param i2cAddress the 7-bit address
     * @return a new fault
     */
    public SimFault address(int i2cAddress) {
        return with("address", i2cAddress);
    }

    /**
     * Aims a fault of {@code DlnSpiMasterReadWrite} at one slave-select line.
     *
     * @param line the line, 0..3
     * @return a new fault
     */
    public SimFault ss(int line) {
        return with("ss", line);
    }

    /**
     * Fails at most this many calls, then no more.
     *
     * @param calls adapter calls, not readings (a laser reading makes several reads)
     * @return a new fault
     */
    public SimFault count(int calls) {
        return with("count", calls);
    }

    /**
     * Fails only the nth of the calls it names (counted at its address or line, when it
     * names one), as a scenario's {@code nth}.
     *
     * @param n from 1
     * @return a new fault
     */
    public SimFault nth(int n) {
        return with("nth", n);
    }

    /** The fault as the live page's JSON API takes it. */
    Map<String, Object> fields() {
        return fields;
    }

    @Override
    public String toString() {
        return Json.write(fields);
    }
}
