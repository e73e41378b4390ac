package i2cdln;

/**
 * The laser ranger measured, but no target was in reach: the sensor reported a range of 8190 mm
 * or more (its value for a signal too weak to range). The bus and the sensor work; nothing is
 * in front of it within its range.
 */
public class NoTargetException extends DlnException {
    private static final long serialVersionUID = 1L;

    /** The out-of-reach value, in millimetres. */
    private final int reportedMm;

    /**
     * Creates the exception.
     *
     * @param method the typed call
     * @param device the sensor's address
     * @param reportedMm the out-of-reach value the sensor reported
     */
    public NoTargetException(String method, String device, int reportedMm) {
        super(method, device, "no target in reach (the sensor reported " + reportedMm + " mm)");
        this.reportedMm = reportedMm;
    }

    /**
     * The value the sensor reported.
     *
     * @return 8190 or more, in millimetres
     */
    public int reportedMm() {
        return reportedMm;
    }
}
